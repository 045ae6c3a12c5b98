#pragma once
// Text at the tool's edges. Command lines, files and output are UTF-8; message fields in memory are
// CP1251 under the lossless mapping, so every character a base can hold survives (through the stored
// CP866 bytes).
#include <string>

namespace pelmar {

std::string ToolIn(const std::string& utf8);
std::string ToolOut(const std::string& ansi);

// A message body from UTF-8 text: converted, line ends as stored (CR alone), ending with one.
std::string StoredBody(const std::string& utf8);

// The whole file, or standard input when `path` is empty; false when the file cannot be read.
bool ReadAllText(const std::string& path, std::string& bytes);

}  // namespace pelmar
