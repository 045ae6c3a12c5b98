#pragma once
// Small bases of every format with an index, for tests that run the same steps on each.
#include <filesystem>
#include <string>
#include <vector>

namespace pelmar::test {

struct TFormatBase {
    const char* Name;
    int Kind;
    const char* HeaderFile;  // the file holding the message headers
};

// Squish and JAM copies of a fixture area, and a Hudson board written by the base itself; each holds
// at least three messages, the second one with MSGID and REPLY.
const std::vector<TFormatBase>& FormatBases();
// Makes the base in `dir`; returns its Path.
std::string MakeFormatBase(const TFormatBase& format, const std::filesystem::path& dir);

}  // namespace pelmar::test
