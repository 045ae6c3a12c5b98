#pragma once
// Letters written into a base the way another program does it: a base object of its own that
// opens, appends and closes.
#include <string>
#include <vector>

namespace pelmar::test {

struct TLetter {
    std::string From = "Tosser Robot";
    std::string To = "All";
    std::string Subject = "Hello";
    std::string MsgId;  // empty: none
};

// Appends the letters (local echomail, one line of text each) to the base of `kind` at `path`; with
// `create` the base is made first. A failure to open or to write is a test failure.
void AppendLetters(int kind, const std::string& path, const std::vector<TLetter>& letters,
                   bool create = false);

}  // namespace pelmar::test
