#include "import/AreasBbsImport.h"

#include <cstdint>
#include <exception>

#include "core/Address.h"
#include "core/Settings.h"
#include "import/AreaImport.h"
#include "import/ConfigLines.h"
#include "import/DosPath.h"
#include "msgbase/BaseFactory.h"
#include "msgbase/HudsonRecords.h"

namespace pelmar {
namespace {

bool IsDecimal(const std::string& word) {
    if (word.empty()) return false;
    for (const char c : word) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// The first line of an AREAS.BBS is "<origin> ! <sysop name>", not an area. A JAM location also
// begins with "!", so only a "!" after the first character marks it.
bool IsOriginLine(const std::string& line) {
    return line.find('!', 1) != std::string::npos && line.front() != '!';
}

class TAreasBbsReader {
public:
    TAreasBbsReader(TAreaInfo& container, const std::string& baseDir, const std::string& hudsonDir,
                    const std::vector<std::string>& own)
        : container_(container), baseDir_(baseDir), hudsonDir_(hudsonDir), ownAddresses_(own) {}

    void Line(const std::string& line) {
        if (IsCommentOrEmpty(line)) return;
        const bool first = !seenFirst_;
        seenFirst_ = true;
        if (first && IsOriginLine(line)) return;
        // A line that begins with a blank has an empty location.
        if (line.front() == ' ' || line.front() == '\t') return;
        const auto words = SplitWords(line);
        if (words.size() < 2) return;
        TImportedArea area;
        if (!Locate(words[0], area)) return;
        area.Name = ProperCaseName(words[1]);
        area.AreaName = words[1];
        area.UseAKA = words.size() >= 3 ? OwnAddressFor(words[2]) : std::string();
        area.IsNetmail = area.Kind == BaseKindMsg;
        StoreArea(container_, area);
    }

private:
    // Kind and Path from the location word; false for a board number no Hudson base has.
    bool Locate(const std::string& location, TImportedArea& area) const {
        if (IsDecimal(location)) {
            const int board = location.size() > 3 ? HudsonLastBoard + 1 : std::stoi(location);
            if (board < HudsonFirstBoard || board > HudsonLastBoard) return false;
            area.Kind = BaseKindHudson;
            area.Path = ResolveAreaPathFrom(BaseKindHudson,
                                            std::string(1, static_cast<char>(board)) + hudsonDir_, baseDir_);
        } else if (location.front() == '!') {
            area.Kind = BaseKindJam;
            area.Path = ResolveAreaPathFrom(BaseKindJam, location.substr(1), baseDir_);
        } else if (location.front() == '$') {
            area.Kind = BaseKindSquish;
            area.Path = ResolveAreaPathFrom(BaseKindSquish, location.substr(1), baseDir_);
        } else {
            area.Kind = BaseKindMsg;
            area.Path = ResolveAreaPathFrom(BaseKindMsg, location, baseDir_);
        }
        return true;
    }

    // Points are not compared: a link is a node, the user may be its point.
    std::string OwnAddressFor(const std::string& link) const {
        uint16_t zone = 0, net = 0, node = 0, point = 0;
        ParseAddress(link, false, zone, net, node, point);
        for (const std::string& own : ownAddresses_) {
            uint16_t ownZone = 0, ownNet = 0, ownNode = 0, ownPoint = 0;
            ParseAddress(own, false, ownZone, ownNet, ownNode, ownPoint);
            if (ownZone == zone && ownNet == net && ownNode == node) return own;
        }
        return {};
    }

    TAreaInfo& container_;
    const std::string baseDir_;  // relative locations are taken from the folder of the list
    const std::string& hudsonDir_;
    const std::vector<std::string>& ownAddresses_;
    bool seenFirst_ = false;
};

}  // namespace

void ImportAreasBbs(const std::string& file, TAreaInfo& container, const std::string& hudsonDir,
                    const std::vector<std::string>& ownAddresses) {
    TAreasBbsReader reader(container, ConfigFolder(file), hudsonDir, ownAddresses);
    try {
        TConfigLines lines;
        if (!lines.Open(file)) return;
        std::string line;
        while (lines.Next(line)) reader.Line(line);
    } catch (const std::exception&) {
        // Whatever was imported before the error stays.
    }
}

void ImportAreasBbs(const std::string& file, TAreaInfo& container, const std::string& hudsonDir) {
    ImportAreasBbs(file, container, hudsonDir, Settings.SelfAKA);
}

}  // namespace pelmar
