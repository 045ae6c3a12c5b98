// Which area replies by netmail go to after an import.
#include <gtest/gtest.h>

#include "import/ImportedNetmail.h"

namespace pelmar {
namespace {

TEST(NetmailAreaAfterImport, KeepsAChoiceThatStillExistsElseTakesTheImportedOne) {
    // Old: an area the user had before; New*: areas the import brought.
    const std::vector<TNetmailCandidate> areas = {{"old-net", "NETMAIL", true, false},
                                                  {"old-echo", "SU.GENERAL", false, false},
                                                  {"new-box", "VASYA", true, true},
                                                  {"new-net", "NetMail", true, true},
                                                  {"new-echo", "RU.TEST", false, true}};
    const std::vector<TNetmailCandidate> onlyEchoes = {{"new-echo", "RU.TEST", false, true}};
    struct TRow {
        const char* what;
        std::string current;
        std::string previousTag;
        const std::vector<TNetmailCandidate>* areas;
        std::string chosen;
    };
    const TRow rows[] = {
        {"a choice that exists stays", "old-net", "", &areas, "old-net"},
        {"even a non-netmail area the user chose", "old-echo", "", &areas, "old-echo"},
        {"none set: the imported NETMAIL", "", "", &areas, "new-net"},
        {"gone: the imported NETMAIL", "deleted-id", "", &areas, "new-net"},
        {"gone, old tag known: the imported area of that tag", "deleted-id", "vasya", &areas, "new-box"},
        {"a tag both old and new: the new one", "deleted-id", "NETMAIL", &areas, "new-net"},
        {"nothing imported to take: left as it was", "deleted-id", "", &onlyEchoes, "deleted-id"},
        {"none set, nothing to take", "", "", &onlyEchoes, ""},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(NetmailAreaAfterImport(row.current, *row.areas, row.previousTag), row.chosen);
    }
    // Without a NETMAIL tag the first imported netmail area in tree order.
    EXPECT_EQ(NetmailAreaAfterImport(
                  "", {{"a", "ECHO", false, true}, {"b", "BOX1", true, true}, {"c", "BOX2", true, true}}),
              "b");
}

}  // namespace
}  // namespace pelmar
