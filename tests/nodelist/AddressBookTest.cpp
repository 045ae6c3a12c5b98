#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/Codepage.h"
#include "nodelist/AddressBook.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

namespace fs = std::filesystem;

std::string Le32(uint32_t v) {
    return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 24)};
}

std::string Str(const std::string& text) {
    return Le32(static_cast<uint32_t>(text.size())) + text;
}

struct Book {
    test::TempDir dir;
    std::string Folder() const { return dir.Path().string() + "/"; }
    std::vector<std::string> Damaged() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir.Path()))
            if (e.path().filename().string().rfind("addrbook.db.damaged-", 0) == 0)
                names.push_back(e.path().filename().string());
        return names;
    }
};

TEST(AddressBookFile, ByteLayout) {
    const std::string ivan = Utf8ToAnsi("Иван Петров");
    const std::string note = Utf8ToAnsi("Заметка: ёЁ");
    const struct {
        const char* what;
        std::vector<TAddrHolder> entries;
        std::vector<std::string> names;
        std::string bytes;
    } rows[] = {
        {"empty book", {}, {}, Le32(0)},
        {"empty note, no addresses", {{}}, {"Bob"}, Le32(1) + Str("Bob") + Le32(0) + Le32(0)},
        {"Cyrillic with addresses",
         {{{"2:5020/1", "2:5020/1 "}, note}, {{}, ""}},
         {ivan, ""},
         Le32(2) + Str(ivan) + Str(note) + Le32(2) + Str("2:5020/1") + Str("2:5020/1 ") + Str("") + Str("") +
             Le32(0)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Book b;
        TAddressBook book(b.Folder());
        for (size_t i = 0; i < row.entries.size(); ++i) {
            const int index = book.Add();
            book.SetName(index, row.names[i]);
            book.Addresses(index) = row.entries[i].Addresses;
            book.SetNotes(index, row.entries[i].Notes);
        }
        ASSERT_TRUE(book.Save()) << book.LastError();
        EXPECT_EQ(test::ReadFile(book.FilePath()), row.bytes);

        TAddressBook again(b.Folder());
        ASSERT_TRUE(again.Load());
        ASSERT_EQ(again.Count(), static_cast<int>(row.entries.size()));
        for (int i = 0; i < again.Count(); ++i) {
            EXPECT_EQ(again.Name(i), row.names[i]);
            EXPECT_EQ(again.Addresses(i), row.entries[i].Addresses);
            EXPECT_EQ(again.Notes(i), row.entries[i].Notes);
        }
        EXPECT_TRUE(b.Damaged().empty());
    }
}

TEST(AddressBookFile, MissingFileIsAnEmptyBookAndLoadAppends) {
    Book b;
    TAddressBook book(b.Folder());
    EXPECT_TRUE(book.Load());
    EXPECT_EQ(book.Count(), 0);
    book.SetName(book.Add(), "First");
    test::WriteFile(book.FilePath(), Le32(1) + Str("Second") + Str("") + Le32(0));
    EXPECT_TRUE(book.Load());
    EXPECT_EQ(book.Names(), (std::vector<std::string>{"First", "Second"}));
    EXPECT_EQ(book.IndexOf("SECOND"), 1);
    EXPECT_EQ(book.IndexOf(Utf8ToAnsi("второй")), -1);
    book.Delete(0);
    EXPECT_EQ(book.Names(), std::vector<std::string>{"Second"});
}

TEST(AddressBookFile, DamagedFileIsKeptAsideAndWhatWasReadSurvives) {
    const std::string good = Le32(2) + Str("Anna") + Str("note") + Le32(1) + Str("2:5020/1") + Str("Boris") +
                             Str("") + Le32(2) + Str("1:2/3") + Str("4:5/6");
    const size_t firstEntryEnd = 4 + 8 + 8 + 4 + 12;
    // Every cut, and lengths and counts far beyond the file.
    std::vector<std::pair<std::string, int>> inputs;  // bytes, entries expected to survive
    for (size_t cut = 0; cut < good.size(); ++cut)
        inputs.push_back({good.substr(0, cut), cut >= firstEntryEnd ? 1 : 0});
    inputs.push_back({Le32(0x7fffffff), 0});
    inputs.push_back({Le32(0xffffffff), 0});
    inputs.push_back({Le32(1) + Le32(0x7ffffff0), 0});
    inputs.push_back({Le32(1) + Str("A") + Str("") + Le32(0x40000000), 0});
    inputs.push_back({Le32(1) + Str("A") + Str("") + Le32(0xffffffff), 0});
    inputs.push_back({good + "x", 2});  // bytes after the last entry
    for (const auto& [bytes, survivors] : inputs) {
        SCOPED_TRACE(bytes.size());
        Book b;
        test::WriteFile(b.dir.Path() / "addrbook.db", bytes);
        TAddressBook book(b.Folder());
        EXPECT_FALSE(book.Load());
        EXPECT_FALSE(book.LastError().empty());
        EXPECT_EQ(book.Count(), survivors);
        const auto aside = b.Damaged();
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_EQ(test::ReadFile(b.dir.Path() / aside[0]), bytes);
        // The save at exit writes what was read into a new file and leaves the kept copy alone.
        ASSERT_TRUE(book.Save());
        TAddressBook again(b.Folder());
        EXPECT_TRUE(again.Load());
        EXPECT_EQ(again.Count(), survivors);
        EXPECT_EQ(b.Damaged().size(), 1u);
    }
}

TEST(AddressBookFile, FailuresNeverOverwriteTheBook) {
    {
        // A book that exists but cannot be read is not replaced by an empty one.
        Book b;
        fs::create_directory(b.dir.Path() / "addrbook.db");
        TAddressBook book(b.Folder());
        EXPECT_FALSE(book.Load());
        book.SetName(book.Add(), "New");
        EXPECT_FALSE(book.Save());
        EXPECT_FALSE(book.LastError().empty());
        EXPECT_TRUE(fs::is_directory(b.dir.Path() / "addrbook.db"));
    }
    {
        // A named pipe in its place neither blocks the load nor is replaced.
        Book b;
        ASSERT_EQ(::mkfifo((b.dir.Path() / "addrbook.db").c_str(), 0600), 0);
        TAddressBook book(b.Folder());
        EXPECT_FALSE(book.Load());
        EXPECT_FALSE(book.Save());
        EXPECT_TRUE(fs::is_fifo(b.dir.Path() / "addrbook.db"));
    }
    {
        // A folder that cannot take the file: the failure is reported, no temporary file is left.
        Book b;
        test::WriteFile(b.dir.Path() / "plain", "x");
        TAddressBook book(b.dir.File("plain") + "/");
        book.SetName(book.Add(), "New");
        EXPECT_FALSE(book.Save());
        EXPECT_NE(book.LastError().find("plain"), std::string::npos);
        int files = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator(b.dir.Path())) ++files;
        EXPECT_EQ(files, 1);
    }
    {
        // A book kept elsewhere behind a link: the link stays, the book it points to is replaced.
        Book b;
        test::TempDir elsewhere;
        const fs::path real = elsewhere.Path() / "book.db";
        {
            TAddressBook first(elsewhere.Path().string() + "/");
            first.SetName(first.Add(), "Old");
            ASSERT_TRUE(first.Save()) << first.LastError();
            fs::rename(elsewhere.Path() / "addrbook.db", real);
        }
        fs::create_symlink(real, b.dir.Path() / "addrbook.db");
        TAddressBook book(b.Folder());
        ASSERT_TRUE(book.Load()) << book.LastError();
        book.SetName(book.Add(), "New");
        ASSERT_TRUE(book.Save()) << book.LastError();
        EXPECT_TRUE(fs::is_symlink(b.dir.Path() / "addrbook.db"));
        EXPECT_NE(test::ReadFile(real).find("New"), std::string::npos);
    }
}

}  // namespace
}  // namespace pelmar
