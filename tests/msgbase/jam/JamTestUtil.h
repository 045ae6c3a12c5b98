#pragma once
// Helpers shared by the JAM tests.
#include <gtest/gtest.h>

#include <string>

#include "JamChecker.h"
#include "core/Codepage.h"
#include "core/Settings.h"
#include "msgbase/Jam.h"
#include "support/Cp866.h"
#include "support/TestSupport.h"

namespace pelmar::test {

// UTF-8 literal -> CP1251 as the program holds text; and back for readable failures.
inline std::string A(const std::string& utf8) {
    return Utf8ToAnsi(utf8);
}
inline std::string U(const std::string& cp1251) {
    return AnsiToUtf8(cp1251);
}
// CP1251 -> CP866 as stored.
inline std::string Oem(const std::string& utf8) {
    return AnsiToOem(Utf8ToAnsi(utf8));
}

// What the program shows for a stored text given in UTF-8: CP866 as stored, then to CP1251, as UTF-8.
inline std::string AsShown(const std::string& utf8) {
    return U(OemToAnsi(Utf8ToCp866(utf8)));
}

inline std::string CheckerReport(const std::string& base) {
    std::string report;
    for (const std::string& line : CheckJamBase(base)) report += line + "\n";
    return report;
}

// Every test gets its own home (settings) and a temporary folder for bases.
class JamTest : public ::testing::Test {
protected:
    void SetUp() override {
        Settings = TSettings{};
    }
    void TearDown() override {
        Settings = TSettings{};
    }

    std::string BasePath(const std::string& stem = "area") const { return dir.File(stem); }

    // A fresh empty base, opened.
    void CreateAndOpen(TJAM& jam, const std::string& stem = "area") const {
        jam.SetPath(BasePath(stem));
        jam.CreateBase();
        jam.Open();
        ASSERT_TRUE(jam.Active);
    }

    // Appends an echomail message and checks the base afterwards.
    void Post(TJAM& jam, const std::string& from, const std::string& to, const std::string& subject,
              const std::string& text = "Hello\r") const {
        jam.NewMessage();
        jam.FromName = from;
        jam.ToName = to;
        jam.Subject = subject;
        jam.OrigAddr = "2:5020/1";
        jam.Text = text;
        jam.Date = EncodeDateTime(2026, 12, 1, 10, 0, 0);
        ASSERT_TRUE(jam.WriteMessage());
    }

    ScopedHome home;
    TempDir dir;
};

}  // namespace pelmar::test
