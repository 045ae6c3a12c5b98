// The file dialog's filter for nodelists finds the lists as they are named on disk.
#include <fnmatch.h>
#include <gtest/gtest.h>

#include "nodelist/NodelistNames.h"

namespace pelmar {
namespace {

// As a dialog that compares names with their case matches them.
bool Offered(const std::string& name) {
    for (const std::string& pattern : NodelistFilePatterns())
        if (::fnmatch(pattern.c_str(), name.c_str(), 0) == 0) return true;
    return false;
}

TEST(NodelistNames, DayNumberedAndPointListsInAnyUsualSpelling) {
    for (const char* name : {"NODELIST.339", "nodelist.339", "Nodelist.339", "NODELIST.NDL", "net5020.ndl",
                             "R50.NDL", "PNT5020.339", "pnt5020.ndl", "POINTS24.123", "points24.339"}) {
        EXPECT_TRUE(Offered(name)) << name;
    }
    for (const char* name : {"fidonews.339", "readme.txt", "nodelist", "NODEDIFF.339"})
        EXPECT_FALSE(Offered(name)) << name;
    EXPECT_EQ(NodelistDialogFilter().rfind("Списки узлов (NODELIST.* nodelist.* Nodelist.* *.NDL *.ndl", 0),
              0u)
        << NodelistDialogFilter();
}

}  // namespace
}  // namespace pelmar
