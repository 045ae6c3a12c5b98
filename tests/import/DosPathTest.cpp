// DOS and Windows paths from configuration files, found on a Linux disk.
#include <gtest/gtest.h>

#include <filesystem>

#include "import/DosPath.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

namespace fs = std::filesystem;

class DosPathTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = dir_.Path().string();
        fs::create_directories(dir_.Path() / "fido" / "msg" / "netmail");
        fs::create_directories(dir_.Path() / "fido" / "Hudson");
        test::WriteFile(dir_.Path() / "fido" / "msg" / "su.gen.sqd", "");
        test::WriteFile(dir_.Path() / "fido" / "msg" / "R50.JHR", "");
        test::WriteFile(dir_.Path() / "fido" / "Config.txt", "");
    }

    test::TempDir dir_;
    std::string root_;
};

TEST_F(DosPathTest, DriveLettersBackslashesAndLetterCase) {
    EXPECT_EQ(ResolveDosPath("C:\\FIDO\\MSG\\NETMAIL", root_), root_ + "/fido/msg/netmail");
    EXPECT_EQ(ResolveDosPath("c:\\Fido\\Msg\\NetMail\\", root_), root_ + "/fido/msg/netmail/");
    EXPECT_EQ(ResolveDosPath("C:/FIDO//./CONFIG.TXT", root_), root_ + "/fido/Config.txt");
    EXPECT_EQ(ResolveDosPath("D:\\", root_), root_ + "/");
    // An absolute Linux path written in another case.
    EXPECT_EQ(ResolveDosPath(root_ + "/FIDO/HUDSON"), root_ + "/fido/Hudson");
}

TEST_F(DosPathTest, ExistingPathsAndMisses) {
    const std::string existing = root_ + "/fido/msg";
    EXPECT_EQ(ResolveDosPath(existing, "/elsewhere"), existing);
    EXPECT_EQ(ResolveDosPath("C:\\FIDO\\NOPE\\NETMAIL", root_), "C:\\FIDO\\NOPE\\NETMAIL");
    EXPECT_EQ(ResolveDosPath("", root_), "");
    EXPECT_EQ(ResolveDosPath("\\\\server\\share", root_), "\\\\server\\share");
}

TEST_F(DosPathTest, ExactSpellingWinsOverOthers) {
    fs::create_directories(dir_.Path() / "fido" / "MSG");
    fs::create_directories(dir_.Path() / "fido" / "Msg");
    EXPECT_EQ(ResolveDosPath("C:\\fido\\Msg", root_), root_ + "/fido/Msg");
    // No exact spelling: the first name in byte order.
    EXPECT_EQ(ResolveDosPath("C:\\FIDO\\mSG", root_), root_ + "/fido/MSG");
}

TEST_F(DosPathTest, AreaPathsPerKind) {
    EXPECT_EQ(ResolveAreaPath(1, "C:\\FIDO\\MSG\\NETMAIL", root_), root_ + "/fido/msg/netmail");
    // Squish and JAM: the base name without extension, its file in any case.
    EXPECT_EQ(ResolveAreaPath(4, "D:\\FIDO\\MSG\\SU.GEN", root_), root_ + "/fido/msg/su.gen");
    EXPECT_EQ(ResolveAreaPath(2, "D:\\FIDO\\MSG\\r50", root_), root_ + "/fido/msg/R50");
    EXPECT_EQ(ResolveAreaPath(2, "D:\\FIDO\\MSG\\SU.GEN", root_), "D:\\FIDO\\MSG\\SU.GEN");  // no .jhr
    const std::string asWritten = root_ + "/fido/msg/SU.GEN";
    EXPECT_EQ(ResolveAreaPath(4, asWritten, "/elsewhere"), asWritten);  // the base opens as it is
    // Hudson: the board character stays in front.
    EXPECT_EQ(ResolveAreaPath(3,
                              "\x0C"
                              "C:\\FIDO\\HUDSON\\",
                              root_),
              "\x0C" + root_ + "/fido/Hudson/");
    EXPECT_EQ(ResolveAreaPath(3, "\x0C", root_), "\x0C");
    EXPECT_EQ(ResolveAreaPath(0, "C:\\FIDO", root_), "C:\\FIDO");
}

}  // namespace
}  // namespace pelmar
