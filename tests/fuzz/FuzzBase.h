#pragma once
// Shared plumbing of the base fuzz targets: cutting one input into the files of a base, laying them
// out in a scratch folder and walking the base the way the message list and the reader do.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelmar {
class TMessageBase;
}

namespace pelmar::fuzz {

// Splits an input into `parts` pieces: a 32-bit little-endian length for every piece but the last,
// each taken from the front and clamped to what is left, then the pieces one after another; the last
// piece is the rest. Missing lengths are 0. PackParts is the inverse (used to make seeds).
std::vector<std::string_view> SplitParts(const uint8_t* data, size_t size, size_t parts);
std::string PackParts(const std::vector<std::string>& parts);

// A scratch folder for this process (ends with '/'), emptied on every call. Lives in /dev/shm when
// that exists, so a run does not wear out the disk.
const std::string& FreshScratchDir();
void WriteWholeFile(const std::string& path, std::string_view bytes);

// Opens `base` (Path already set) and runs every read operation over every message, swallowing the
// read and conversion errors a damaged message is allowed to raise. Anything else escapes.
void WalkBase(TMessageBase& base);

}  // namespace pelmar::fuzz
