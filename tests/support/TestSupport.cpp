#include "support/TestSupport.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace pelmar::test {

TempDir::TempDir() {
    std::string tmpl = (fs::temp_directory_path() / "pelmar-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests may leave read-only files or folders behind; make them removable first.
    for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

std::string TempDir::File(const std::string& name) const { return (path_ / name).string(); }

ScopedHome::ScopedHome() {
    if (const char* old = std::getenv("PELMAR_HOME")) {
        saved_ = old;
        hadSaved_ = true;
    }
    setenv("PELMAR_HOME", (dir_.Path().string() + "/").c_str(), 1);
}

ScopedHome::~ScopedHome() {
    if (hadSaved_)
        setenv("PELMAR_HOME", saved_.c_str(), 1);
    else
        unsetenv("PELMAR_HOME");
}

fs::path FixturesDir() { return fs::path(PELMAR_SHARED_DIR) / "fixtures"; }

fs::path CopyFixture(const std::string& relative, const fs::path& to) {
    const fs::path from = FixturesDir() / relative;
    const fs::path target = to / from.filename();
    fs::copy(from, target, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    // The shared folder may be read-only; the copies must be writable.
    std::error_code ec;
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add, ec);
    if (fs::is_directory(target)) {
        for (const auto& entry : fs::recursive_directory_iterator(target))
            fs::permissions(entry.path(), fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add, ec);
        fs::permissions(target, fs::perms::owner_all, fs::perm_options::add, ec);
    }
    return target;
}

std::string ReadFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFile(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

int RunCommand(const std::string& command, std::string* out) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    std::array<char, 4096> buf{};
    std::string text;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0) text.append(buf.data(), n);
    const int status = pclose(pipe);
    if (out) *out = std::move(text);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ToolPath() { return PELMAR_TOOL_PATH; }

}  // namespace pelmar::test
