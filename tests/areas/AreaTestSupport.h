#pragma once
// Message bases of every kind for the area tests, written through the program's own formats.
#include <filesystem>
#include <string>
#include <vector>

namespace pelmar::test {

struct TTestMessage {
    std::string To = "All";  // CP1251
    bool Read = false;
};

// Creates an empty base of `kind` (1 *.MSG, 2 JAM, 3 Hudson, 4 Squish) named `name` in `dir` and
// returns the area Path for it. Hudson bases use board 1 of a base in dir/name.
std::string CreateEmptyBase(int kind, const std::filesystem::path& dir, const std::string& name);
// Appends the messages to the base at `path`.
void AppendMessages(int kind, const std::string& path, const std::vector<TTestMessage>& messages);
// Hudson area path: the board as the first character, then the directory.
std::string HudsonPath(int board, const std::filesystem::path& dir);

// `count` messages, every `readEvery`-th read (0: none), every `toUserEvery`-th addressed to `user`.
std::vector<TTestMessage> Messages(int count, int readEvery, int toUserEvery, const std::string& user);

}  // namespace pelmar::test
