#pragma once
// Writing whole files: the loop that writes a buffer completely, and the replace that leaves either
// the previous file or the new one, never a part of it. The settings store, the nodelist index and
// the address book write through these.
#include <sys/types.h>

#include <string>
#include <string_view>

namespace pelmar {

// Writes every byte of `bytes` to `fd`, going on after short writes and interrupted calls. On
// failure returns false with errno set (EIO when the system wrote nothing without saying why).
bool WriteAll(int fd, std::string_view bytes);

// A step of ReplaceFile made to fail on purpose (tests), with EIO.
enum class TReplaceFault { None, Write, Sync, Rename };

// Writes `bytes` to a temporary file beside `path` with the permissions `mode`, syncs it, renames it
// over `path` and syncs the folder. A symbolic link at `path` stays: the file it points to is
// replaced. Returns 0, or the errno of the step that failed; the previous file is untouched then and
// the temporary file is gone.
int ReplaceFile(const std::string& path, std::string_view bytes, mode_t mode,
                TReplaceFault fault = TReplaceFault::None);

}  // namespace pelmar
