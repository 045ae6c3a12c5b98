#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "core/TextUtils.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

TEST(StartsWith, CaseRules) {
    EXPECT_TRUE(StartsWith("Re", "Re: x"));
    EXPECT_TRUE(StartsWith("", "x"));
    EXPECT_FALSE(StartsWith("re", "Re: x"));
    EXPECT_FALSE(StartsWith("Re: x!", "Re: x"));

    EXPECT_TRUE(StartsWithText("re", "Re: x"));
    EXPECT_TRUE(StartsWithText("\xEF\xF0\xE8", "\xCF\xD0\xC8\xC2\xC5\xD2"));  // при / ПРИВЕТ
    EXPECT_TRUE(StartsWithText("\xB8", "\xA8\xEB\xEA\xE0"));                  // ё / Ёлка
    EXPECT_FALSE(StartsWithText("\xE5", "\xA8"));                             // е is not Ё
    EXPECT_FALSE(StartsWithText("abc", "ab"));
}

TEST(NameInitials, FirstLettersOfThreeWords) {
    EXPECT_EQ(NameInitials("Ivan Petrov"), "IP");
    EXPECT_EQ(NameInitials("Ivan"), "I");
    EXPECT_EQ(NameInitials("A B C D"), "ABC");
    EXPECT_EQ(NameInitials("   Ivan    Petrov  "), "IP");
    EXPECT_EQ(NameInitials("\xC8\xE2\xE0\xED \xCF\xE5\xF2\xF0\xEE\xE2"), "\xC8\xCF");
    EXPECT_EQ(NameInitials(""), "");
    EXPECT_EQ(NameInitials("    "), "");
}

TEST(CompactReplyPrefix, FoldsPrefixes) {
    struct Row {
        const char* prefix;
        const char* subject;
        const char* expected;
    };
    const Row rows[] = {
        {"Re", "Re: Re: hello", "Re^2: hello"},
        {"Re", "Re: Re^2: hi", "Re^3: hi"},
        {"Re", "Re: Report", "Re: Report"},
        {"Re", "Re: re: x", "Re: re: x"},
        {"Re", "Re: Re", "Re: Re"},
        {"Re", "Re:Re:Re:x", "Re^3: x"},
        {"Re", "Re:   Re:  x", "Re^2: x"},
        {"Re", "Re^0: x", "Re^0: x"},
        {"Re", "Re^1: x", "Re: x"},
        {"Re", "Re^: x", "Re^: x"},
        {"Re", "Re: Re^: x", "Re: x"},
        {"Re", "Re: Re: ", "Re^2: "},
        {"Re", "  hello", "  hello"},
        {"Fwd", "Fwd: Fwd: news", "Fwd^2: news"},
        {"Fwd", "Fwd: Re: news", "Fwd: Re: news"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(CompactReplyPrefix(row.prefix, row.subject), row.expected) << row.subject;
}

TEST(CompactReplyPrefix, TerminatesOnDegenerateSubjects) {
    EXPECT_EQ(CompactReplyPrefix("Re", ""), "");
    EXPECT_EQ(CompactReplyPrefix("Re", "Re"), "Re");
    EXPECT_EQ(CompactReplyPrefix("Re", "Report"), "Report");
    EXPECT_EQ(CompactReplyPrefix("Re", "Re^2x"), "Re^2x");
    EXPECT_EQ(CompactReplyPrefix("Re", "Re^"), "Re^");
    EXPECT_EQ(CompactReplyPrefix("Re", "Re^12"), "Re^12");
    EXPECT_EQ(CompactReplyPrefix("Re", "Re: Re^2x"), "Re: Re^2x");
    EXPECT_EQ(CompactReplyPrefix("", ":::x"), "^3: x");
    EXPECT_EQ(CompactReplyPrefix("", "x"), "x");
    EXPECT_EQ(CompactReplyPrefix("Re", std::string(100000, ' ')), std::string(100000, ' '));
    // A huge count must neither overflow nor hang.
    const std::string folded = CompactReplyPrefix("Re", "Re^99999999999999999999999: Re^99999999999: x");
    EXPECT_TRUE(folded.starts_with("Re^")) << folded;
    EXPECT_TRUE(folded.ends_with(": x")) << folded;
    EXPECT_EQ(folded.find('-'), std::string::npos) << folded;
}

TEST(JoinList, CommaSeparated) {
    EXPECT_EQ(JoinList({}), "");
    EXPECT_EQ(JoinList({"a"}), "a");
    EXPECT_EQ(JoinList({"a", "", "c"}), "a, , c");
}

TEST(IsValidUserName, AllowedCharacters) {
    EXPECT_TRUE(IsValidUserName("\xC8\xE2\xE0\xED \xCF\xE5\xF2\xF0\xEE\xE2"));  // Иван Петров
    EXPECT_TRUE(IsValidUserName("J.R. Smith"));
    EXPECT_TRUE(IsValidUserName("a,b-c:d"));
    EXPECT_TRUE(IsValidUserName("[x]_`^\\"));
    EXPECT_TRUE(IsValidUserName("\xFF"));
    EXPECT_FALSE(IsValidUserName(""));
    EXPECT_FALSE(IsValidUserName(" Ivan"));
    EXPECT_FALSE(IsValidUserName("Ivan1"));
    EXPECT_FALSE(IsValidUserName(".Ivan"));
    EXPECT_FALSE(IsValidUserName("\xA8\xEB\xEA\xE0"));  // Ё is outside А..я
    EXPECT_FALSE(IsValidUserName("Ivan{"));
    EXPECT_FALSE(IsValidUserName("Iv\tan"));
    EXPECT_FALSE(IsValidUserName(std::string("Iv\0an", 5)));
}

TEST(IsKeyDown, AsksTheInstalledQuery) {
    EXPECT_FALSE(IsKeyDown(0x10));
    SetKeyStateQuery([](int key) { return key == 0x10; });
    EXPECT_TRUE(IsKeyDown(0x10));
    EXPECT_FALSE(IsKeyDown(0x11));
    SetKeyStateQuery(nullptr);
    EXPECT_FALSE(IsKeyDown(0x10));
}

TEST(CreateFlagFile, CreatesOnlyWhenMissing) {
    test::TempDir dir;
    const std::string fresh = dir.File("echomail.flg");
    CreateFlagFile(fresh);
    ASSERT_TRUE(std::filesystem::exists(fresh));
    EXPECT_EQ(std::filesystem::file_size(fresh), 0u);

    const std::string existing = dir.File("netmail.flg");
    test::WriteFile(existing, "busy\r\n");
    struct stat before {};
    ASSERT_EQ(::stat(existing.c_str(), &before), 0);
    const timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, existing.c_str(), old, 0), 0);
    CreateFlagFile(existing);
    struct stat after {};
    ASSERT_EQ(::stat(existing.c_str(), &after), 0);
    EXPECT_EQ(test::ReadFile(existing), "busy\r\n");
    EXPECT_EQ(after.st_mtim.tv_sec, 1000000000);
    EXPECT_EQ(after.st_ino, before.st_ino);

    // Failures are swallowed.
    CreateFlagFile(dir.File("no/such/folder/x.flg"));
    CreateFlagFile("");
    EXPECT_FALSE(std::filesystem::exists(dir.File("no")));
}

}  // namespace
}  // namespace pelmar
