// Which programs are set up on this machine, from a made-up environment and file system.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "areas/gizmo.h"
#include "import/ConfigLocations.h"

namespace pelmar {
namespace {

TConfigEnvironment Machine(std::map<std::string, std::string> variables, std::set<std::string> files) {
    TConfigEnvironment env;
    env.Variable = [variables](const std::string& name) -> std::optional<std::string> {
        const auto found = variables.find(name);
        if (found == variables.end()) return std::nullopt;
        return found->second;
    };
    env.IsFile = [files](const std::string& path) { return files.count(path) != 0; };
    return env;
}

TEST(ConfigLocations, EachProgramWhereItKeepsItsFile) {
    const std::map<std::string, std::string> home = {{"HOME", "/home/u"}};
    struct TRow {
        const char* what;
        int kind;
        std::map<std::string, std::string> variables;
        std::set<std::string> files;
        std::string found;
    };
    const TRow rows[] = {
        {"nothing set up", LinkKindFidoConfig, home, {}, ""},
        {"$FIDOCONFIG first",
         LinkKindFidoConfig,
         {{"HOME", "/home/u"}, {"FIDOCONFIG", "/srv/fido.cfg"}},
         {"/srv/fido.cfg", "/etc/fido/config"},
         "/srv/fido.cfg"},
        {"$FIDOCONFIG naming nothing",
         LinkKindFidoConfig,
         {{"HOME", "/home/u"}, {"FIDOCONFIG", "/gone"}},
         {"/etc/fido/config"},
         "/etc/fido/config"},
        {"the user's before the system's",
         LinkKindFidoConfig,
         home,
         {"/home/u/fido/config", "/etc/fido/config"},
         "/home/u/fido/config"},
        {"crashmail.prefs in the home",
         LinkKindCrashMail,
         home,
         {"/home/u/crashmail.prefs"},
         "/home/u/crashmail.prefs"},
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
        {"no home: only the system's places", LinkKindCrashMail, {}, {"/home/u/crashmail.prefs"}, ""},
        {"DOS names in upper case",
         LinkKindSquish,
         home,
         {"/home/u/squish/SQUISH.CFG"},
         "/home/u/squish/SQUISH.CFG"},
        {"T-Mail beside the other lists",
         LinkKindTMail,
         home,
         {"/home/u/fido/t-mail.ctl"},
         "/home/u/fido/t-mail.ctl"},
        {"FastEcho",
         LinkKindFastEcho,
         home,
         {"/home/u/fastecho/FASTECHO.CFG"},
         "/home/u/fastecho/FASTECHO.CFG"},
        {"AREAS.BBS", LinkKindAreasBbs, home, {"/etc/fido/areas.bbs"}, "/etc/fido/areas.bbs"},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(FindInstalledConfig(row.kind, Machine(row.variables, row.files)), row.found);
    }
}

TEST(ConfigLocations, GoldEdFolder) {
    EXPECT_EQ(FindGoldEdFolder(Machine({{"HOME", "/home/u"}}, {"/home/u/.golded/golded.cfg"})),
              "/home/u/.golded");
    EXPECT_EQ(FindGoldEdFolder(Machine({{"HOME", "/home/u"}, {"GOLDED", "/opt/ge"}},
                                       {"/opt/ge/GOLDED.CFG", "/home/u/.golded/golded.cfg"})),
              "/opt/ge");
    EXPECT_EQ(FindGoldEdFolder(Machine({{"HOME", "/home/u"}}, {"/home/u/.golded/other.cfg"})), "");
}

}  // namespace
}  // namespace pelmar
