#include "import/TMailImport.h"

#include <cstdint>

#include "core/Address.h"
#include "core/TextUtils.h"
#include "import/AreaImport.h"
#include "import/ConfigLines.h"
#include "import/DosPath.h"
#include "msgbase/BaseFactory.h"
#include "platform/Text.h"

namespace pelmar {
namespace {

const std::string MailInKeyword = "Mail_In";
const std::string AddressKeyword = "Address";
const std::string MailBoxKeyword = "MailBox";

struct TTMailReader {
    TAreaInfo& Container;
    std::string BaseDir;  // relative paths are taken from the folder of T-MAIL.CTL
    std::string Address;

    void Line(const std::string& line) {
        if (IsCommentOrEmpty(line)) return;
        if (StartsWithText(MailInKeyword, line)) {
            const auto words = SplitWords(line);
            if (words.size() >= 2) Store("Netmail", words[1]);
        } else if (StartsWithText(AddressKeyword, line)) {
            const auto words = SplitWords(line);
            if (words.size() < 2) return;
            uint16_t zone = 0, net = 0, node = 0, point = 0;
            ParseAddress(words[1], false, zone, net, node, point);
            Address = FormatAddress(zone, net, node, point);
        } else if (StartsWithText(MailBoxKeyword, line)) {
            MailBox(line);
        }
    }

    // "MailBox <name> = <folder> [...]"; the name may hold spaces.
    void MailBox(const std::string& line) {
        const size_t restStart = line.find_first_not_of(" \t", MailBoxKeyword.size());
        if (restStart == std::string::npos) return;
        const std::string rest = line.substr(restStart);
        const size_t equals = rest.find('=');
        if (equals == std::string::npos) return;
        const std::string name(TrimRight(std::string_view(rest).substr(0, equals)));
        const auto folder = SplitWords(std::string_view(rest).substr(equals + 1));
        if (folder.empty()) return;
        Store(name, folder.front());
    }

    void Store(const std::string& name, const std::string& path) {
        TImportedArea area;
        area.Name = name;
        area.Kind = BaseKindMsg;
        area.Path = ResolveAreaPathFrom(BaseKindMsg, path, BaseDir);
        area.AreaName = name;
        area.UseAKA = Address;
        area.IsNetmail = true;
        StoreArea(Container, area);
    }
};

}  // namespace

void ImportTMailConfig(const std::string& file, TAreaInfo& container) {
    TConfigLines lines;
    if (!lines.Open(file)) return;
    TTMailReader reader{container, ConfigFolder(file), {}};
    std::string line;
    while (lines.Next(line)) reader.Line(line);
}

}  // namespace pelmar
