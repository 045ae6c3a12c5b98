#pragma once
// Helpers shared by all test programs.
#include <filesystem>
#include <string>
#include <vector>

namespace pelmar::test {

// A fresh folder under the system temp folder, removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // Path() / name as a string.
    std::string File(const std::string& name) const;

private:
    std::filesystem::path path_;
};

// Points PELMAR_HOME at a temporary folder for the life of the object and restores it after.
class ScopedHome {
public:
    ScopedHome();
    ~ScopedHome();
    const std::filesystem::path& Path() const { return dir_.Path(); }

private:
    TempDir dir_;
    std::string saved_;
    bool hadSaved_ = false;
};

// ../shared/fixtures of the checkout (read only: copy before writing).
std::filesystem::path FixturesDir();

// Copies a file or folder tree from the fixtures into `to`; returns the new path.
std::filesystem::path CopyFixture(const std::string& relative, const std::filesystem::path& to);

std::string ReadFile(const std::filesystem::path& file);
void WriteFile(const std::filesystem::path& file, const std::string& bytes);

// Runs a command through /bin/sh; returns its exit status and puts its stdout in `out`.
int RunCommand(const std::string& command, std::string* out = nullptr);

// Path of the built pelmar-tool.
std::string ToolPath();

}  // namespace pelmar::test
