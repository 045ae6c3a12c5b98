// The per-user home: one canonical folder per home, and never a shared fallback.
#include "platform/Paths.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "support/TestSupport.h"

namespace pelmar {
namespace {

namespace fs = std::filesystem;

// Sets or unsets an environment variable for the life of the object.
class TScopedEnv {
public:
    TScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) saved_ = old;
        if (value != nullptr)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~TScopedEnv() {
        if (saved_)
            setenv(name_, saved_->c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> saved_;
};

TEST(Paths, EverySpellingOfAHomeIsOneFolder) {
    test::TempDir dir;
    const std::string real = fs::canonical(dir.Path()).string() + "/h";
    fs::create_directories(real);
    fs::create_symlink(real, dir.File("link"));
    const std::string cwd = fs::current_path().string();
    fs::current_path(dir.Path());
    for (const std::string spelling : {real, real + "/", real + "//", dir.File("x/../h"), dir.File("./h/."),
                                       dir.File("link"), std::string("h"), std::string("link/")}) {
        const TScopedEnv home("PELMAR_HOME", spelling.c_str());
        EXPECT_EQ(HomeFolder(), real + "/") << spelling;
        EXPECT_EQ(RegistryFilePath(), real + "/registry.reg") << spelling;
    }
    fs::current_path(cwd);
}

std::string NoUser() {
    return {};
}
std::string SomeUser() {
    static test::TempDir dir;
    return dir.File("user");
}

TEST(Paths, HomeWithoutHomeVariable) {
    const TScopedEnv pelmarHome("PELMAR_HOME", nullptr), home("HOME", nullptr),
        data("XDG_DATA_HOME", nullptr), config("XDG_CONFIG_HOME", nullptr);
    // The user's home from the password database.
    SetPasswordHomeLookup(SomeUser);
    const std::string user = fs::canonical(fs::path(SomeUser()).parent_path()).string() + "/user";
    EXPECT_EQ(HomeFolder(), user + "/.local/share/pelmar/");
    EXPECT_EQ(RegistryFilePath(), user + "/.config/pelmar/registry.reg");
    // No home at all: a clear stop instead of a folder other users can write to.
    SetPasswordHomeLookup(NoUser);
    EXPECT_THROW(HomeFolder(), EHomeFolderError);
    EXPECT_THROW(RegistryFilePath(), EHomeFolderError);
    {
        const TScopedEnv explicitHome("PELMAR_HOME", user.c_str());  // an explicit home needs no user home
        EXPECT_EQ(HomeFolder(), user + "/");
    }
    SetPasswordHomeLookup(nullptr);
}

}  // namespace
}  // namespace pelmar
