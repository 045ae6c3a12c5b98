// pelmar-tool on Squish bases: a second process that reads and writes through the same code.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include "SquishLayout.h"
#include "support/TestSupport.h"

namespace pelmar::test {
namespace {

std::string Quote(const std::string& text) {
    return "'" + text + "'";
}

TEST(SquishTool, PostAndDump) {
    TempDir dir;
    const std::string base = dir.File("area");
    TSquishBuilder b;
    TRawMessage m;
    m.Subject = "Stored";
    b.Add(m);
    b.Save(base);

    std::string out;
    ASSERT_EQ(RunCommand("printf 'Line one\\nLine two\\n' | " + ToolPath() + " post --kind squish " +
                             Quote(base) + " --from Tester --to All --subject Posted --orig 2:5020/1",
                         &out),
              0);
    EXPECT_EQ(out, "1\n");
    EXPECT_SQUISH_CONSISTENT(base);

    ASSERT_EQ(RunCommand(ToolPath() + " dump --kind squish " + Quote(base), &out), 0);
    EXPECT_NE(out.find("\"subject\": \"Stored\""), std::string::npos) << out;
    EXPECT_NE(out.find("\"subject\": \"Posted\""), std::string::npos) << out;
    EXPECT_NE(out.find("Line one\\nLine two\\n--- Automatically added by Pelmar"), std::string::npos) << out;
}

TEST(SquishTool, PostIsRefusedWhileTheBaseIsLocked) {
    TempDir dir;
    const std::string base = dir.File("area");
    TSquishBuilder b;
    b.Add(TRawMessage{});
    b.Save(base);
    const int fd = ::open((base + ".sqd").c_str(), O_RDWR);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_len = 1;
    ASSERT_EQ(::fcntl(fd, F_OFD_SETLK, &lock), 0);
    const std::string before = ReadFile(base + ".sqd") + ReadFile(base + ".sqi");
    EXPECT_NE(RunCommand("echo x | " + ToolPath() + " post --kind squish " + Quote(base) +
                         " --from A --to B --subject C --orig 2:5020/1 2>/dev/null"),
              0);
    EXPECT_EQ(ReadFile(base + ".sqd") + ReadFile(base + ".sqi"), before);
    ::close(fd);
}

TEST(SquishTool, DumpReportsADamagedMessageAndGoesOn) {
    TempDir dir;
    const std::string base = dir.File("area");
    TSquishBuilder b;
    TRawMessage m;
    m.Subject = "First";
    b.Add(m);
    const uint32_t second = b.Add(m);
    m.Subject = "Third";
    b.Add(m);
    PutLe32(b.Sqd, second, 0xDEADBEEF);
    b.Save(base);
    std::string out;
    EXPECT_EQ(RunCommand(ToolPath() + " dump --kind squish " + Quote(base) + " 2>/dev/null", &out), 3);
    EXPECT_NE(out.find("\"subject\": \"First\""), std::string::npos);
    EXPECT_NE(out.find("\"subject\": \"Third\""), std::string::npos);
}

}  // namespace
}  // namespace pelmar::test
