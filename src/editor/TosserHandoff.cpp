#include "editor/TosserHandoff.h"

#include <string_view>

#include "areas/gizmo.h"
#include "core/Codepage.h"
#include "core/Settings.h"
#include "editor/LockedFile.h"
#include "msgbase/BaseFactory.h"
#include "msgbase/Jam.h"
#include "msgbase/MessageBase.h"
#include "platform/Text.h"

namespace pelmar {

namespace {

// The line of `bytes` that `same` accepts exists. Lines end at LF or CR LF; blanks around a line are
// not part of it.
template <class Same>
bool HasLine(const std::string& bytes, Same same) {
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        if (same(Trim(std::string_view(bytes.data() + start, end - start)))) return true;
        start = end + 1;
    }
    return false;
}

// Adds `line` to the shared list at `path` unless `present` finds it there already.
template <class Present>
std::string AddLine(const std::string& path, const std::string& line, Present present) {
    TLockedFile file(path);
    std::string bytes;
    if (!file || !file.ReadAll(bytes)) return file.Error();
    if (HasLine(bytes, present)) return {};
    // A last line without its end (written by hand) must not run into ours.
    const std::string text = (bytes.empty() || bytes.back() == '\n' ? "" : "\n") + line + "\n";
    return file.Append(text) ? std::string() : file.Error();
}

}  // namespace

std::string AddEchoTossTag(const std::string& path, const std::string& tag) {
    return AddLine(path, tag, [&](std::string_view line) { return AnsiSameText(line, tag); });
}

std::string EchomailJamLine(const std::string& basePath, uint32_t messageNumber) {
    return basePath + " " + std::to_string(messageNumber);
}

std::string AddEchomailJamLine(const std::string& path, const std::string& basePath, uint32_t messageNumber) {
    const std::string line = EchomailJamLine(basePath, messageNumber);
    return AddLine(path, line, [&](std::string_view existing) { return existing == line; });
}

void TellTosser(const TAreaInfo& area, const TMessageBase& base, std::vector<std::string>& warnings) {
    if (area.IsNetmail) return;
    auto warn = [&](const std::string& file, const std::string& reason) {
        if (!reason.empty()) warnings.push_back(file + ": " + reason);
    };
    if (!Settings.EchoTossLog.empty() && !area.AreaName.empty())
        warn("echotoss.log", AddEchoTossTag(Settings.EchoTossLog, area.AreaName));
    if (Settings.bEchomailJam && !Settings.EchomailJam.empty() && area.Kind == BaseKindJam) {
        if (const auto* jam = dynamic_cast<const TJAM*>(&base))
            warn("echomail.jam",
                 AddEchomailJamLine(Settings.EchomailJam, area.Path, jam->MsgHeader.MessageNumber));
    }
}

}  // namespace pelmar
