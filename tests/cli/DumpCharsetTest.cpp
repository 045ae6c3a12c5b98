// pelmar-tool dump on messages declaring their character set.
#include <gtest/gtest.h>

#include <filesystem>

#include "msgbase/FidoBase.h"
#include "support/Json.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

namespace fs = std::filesystem;

TEST(DumpCharset, BodiesByTheDeclaration) {
    test::TempDir dir;
    const fs::path area = dir.Path() / "area";
    fs::create_directories(area);
    const auto write = [&](const char* name, const std::string& from, const std::string& body) {
        std::string header(TFidoBase::HeaderSize, '\0');
        header.replace(0, from.size(), from);
        header.replace(144, 19, "01 Jan 26  10:20:30");
        test::WriteFile(area / name, header + body + '\0');
    };
    // UTF-8 declared; then the DOS code page without a declaration.
    write("2.msg", "Ivan",
          "\x01"
          "CHRS: UTF-8 4\r\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, \xD1\x8D\xD1\x85\xD0\xBE "
          "\xE2\x82\xAC\r");
    write("3.msg", "Petr", "\x8F\xE0\xA8\xA2\xA5\xE2 \xC9\xCD\xBB\r");
    std::string out;
    const std::string command =
        "'" + test::ToolPath() + "' dump --kind msg '" + area.string() + "' 2>/dev/null";
    ASSERT_EQ(test::RunCommand(command, &out), 0) << out;
    EXPECT_NE(out.find("\"text\": \"Привет, эхо €\""), std::string::npos) << out;
    EXPECT_NE(out.find("\"text\": \"Привет ╔═╗\""), std::string::npos) << out;
}

}  // namespace
}  // namespace pelmar
