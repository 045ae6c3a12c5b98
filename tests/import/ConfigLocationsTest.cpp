// Which programs are set up on this machine, from a made-up environment and file system.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "areas/gizmo.h"
#include "import/ConfigLocations.h"

namespace pelmar {
namespace {

TConfigEnvironment Machine(std::map<std::string, std::string> variables, std::set<std::string> files) {
    return {[variables](const std::string& name) -> std::optional<std::string> {
                const auto found = variables.find(name);
                return found == variables.end() ? std::nullopt : std::optional<std::string>(found->second);
            },
            [files](const std::string& path) { return files.count(path) != 0; }};
}

TEST(ConfigLocations, EachProgramWhereItKeepsItsFile) {
    const std::map<std::string, std::string> home = {{"HOME", "/home/u"}};
    const std::map<std::string, std::string> pointed = {{"HOME", "/home/u"}, {"FIDOCONFIG", "/srv/fido.cfg"}};
    struct TRow {
        const char* what;
        int kind;
        const std::map<std::string, std::string>& variables;
        std::set<std::string> files;
        std::string found;
    };
    const TRow rows[] = {
        {"nothing set up", LinkKindFidoConfig, home, {}, ""},
        {"$FIDOCONFIG first",
         LinkKindFidoConfig,
         pointed,
         {"/srv/fido.cfg", "/etc/fido/config"},
         "/srv/fido.cfg"},
        {"$FIDOCONFIG naming nothing", LinkKindFidoConfig, pointed, {"/etc/fido/config"}, "/etc/fido/config"},
        {"the user's before the system's",
         LinkKindFidoConfig,
         home,
         {"/home/u/fido/config", "/etc/fido/config"},
         "/home/u/fido/config"},
        {"crashmail.prefs in ~/.crashmail",
         LinkKindCrashMail,
         home,
         {"/home/u/.crashmail/crashmail.prefs"},
         "/home/u/.crashmail/crashmail.prefs"},
        {"crashmail.prefs in /etc",
         LinkKindCrashMail,
         home,
         {"/etc/crashmail.prefs"},
         "/etc/crashmail.prefs"},
        {"another program's file is not crashmail's", LinkKindCrashMail, home, {"/home/u/fido/config"}, ""},
        {"DOS names in upper case",
         LinkKindSquish,
         home,
         {"/home/u/squish/SQUISH.CFG"},
         "/home/u/squish/SQUISH.CFG"},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(FindInstalledConfig(row.kind, Machine(row.variables, row.files)), row.found);
    }
    EXPECT_EQ(FindGoldEdFolder(Machine({{"HOME", "/home/u"}, {"GOLDED", "/opt/ge"}},
                                       {"/opt/ge/GOLDED.CFG", "/home/u/.golded/golded.cfg"})),
              "/opt/ge");
    EXPECT_EQ(FindGoldEdFolder(Machine(home, {"/home/u/.golded/golded.cfg"})), "/home/u/.golded");
}

}  // namespace
}  // namespace pelmar
