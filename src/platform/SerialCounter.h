#pragma once
// Serial numbers that keep increasing across every process of the user. A tosser drops two
// messages with the same MSGID as dupes, and the program and pelmar-tool may post in the same second.
#include <cstdint>
#include <string>

namespace pelmar {

// Hands out max(now, last + 1), where last is the value kept in `file` (created when missing) and
// the last value this process handed out; the file is updated under an exclusive lock. When the
// file cannot be used the serial still increases within this process.
uint32_t NextSerial(const std::string& file, uint32_t now);

// NextSerial on the MSGID counter file in the home folder; EHomeFolderError when there is no home.
uint32_t NextMsgIdSerial(uint32_t now);

}  // namespace pelmar
