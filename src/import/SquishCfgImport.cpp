#include "import/SquishCfgImport.h"

#include <exception>

#include "core/TextUtils.h"
#include "import/AreaImport.h"
#include "import/ConfigLines.h"
#include "import/DosPath.h"
#include "msgbase/BaseFactory.h"

namespace pelmar {
namespace {

struct TSquishReader {
    bool BadDupe;
    bool Netmail;
    bool Echomail;
    TAreaInfo& Container;
    std::string BaseDir;  // relative paths are taken from the folder of SQUISH.CFG
    std::string Address;

    void Line(const std::string& line) {
        if (IsCommentOrEmpty(line)) return;
        if (StartsWithText("BadArea", line) || StartsWithText("DupeArea", line)) {
            if (BadDupe) Area(line, false);
        } else if (StartsWithText("NetArea", line)) {
            if (Netmail) Area(line, true);
        } else if (StartsWithText("EchoArea", line)) {
            if (Echomail) Area(line, false);
        } else if (StartsWithText("Address", line)) {
            const auto words = SplitWords(line);
            if (words.size() >= 2) Address = words[1];
        }
    }

    // "<keyword> <tag> <path> [flags]"; "-$" among the flags makes it a Squish base.
    void Area(const std::string& line, bool netmail) {
        const auto words = SplitWords(line);
        if (words.size() < 3) return;
        const std::string& tag = words[1];
        const std::string& path = words[2];
        const std::string rest = line.substr(WordStart(line, 2));
        TImportedArea area;
        area.Kind = rest.find("-$") != std::string::npos ? BaseKindSquish : BaseKindMsg;
        area.Name = tag;
        area.AreaName = tag;
        area.Path = ResolveAreaPathFrom(area.Kind, path, BaseDir);
        area.UseAKA = Address;
        area.IsNetmail = netmail;
        StoreArea(Container, area);
    }
};

}  // namespace

void ImportSquishConfig(const std::string& file, TAreaInfo& container, bool badDupe, bool netmail,
                        bool echomail) {
    TSquishReader reader{badDupe, netmail, echomail, container, ConfigFolder(file), {}};
    try {
        TConfigLines lines;
        if (!lines.Open(file)) return;
        std::string line;
        while (lines.Next(line)) reader.Line(line);
    } catch (const std::exception&) {
        // Whatever was imported before the error stays.
    }
}

}  // namespace pelmar
