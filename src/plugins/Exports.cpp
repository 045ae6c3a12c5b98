// The functions plug-ins call. They are exported from the executable by name (see
// cmake/PluginApi.dynlist); every one catches whatever the program throws.
#include <pelmar/plugin.h>

#include <algorithm>
#include <climits>
#include <string>

#include "core/Settings.h"
#include "plugins/PluginHost.h"
#include "reader/MainWindowServices.h"
#include "reader/ReadingCommands.h"

namespace pelmar {

namespace {

TPluginHost fallbackHost;
TPluginHost* host = nullptr;

std::string Text(const char* text) {
    return text != nullptr ? std::string(text) : std::string();
}

template <typename Fn>
auto Guard(Fn fn, decltype(fn()) fallback) -> decltype(fn()) {
    try {
        return fn();
    } catch (...) {
        return fallback;
    }
}

// A field of the shown message, through the output-text rule. The message as it was shown, not the
// shared base's fields: a timer or another command may have read another message into those since.
template <typename Field>
int32_t MessageText(char* buf, int32_t cap, Field field) {
    return Guard(
        [&]() -> int32_t {
            const TShownMessage* shown = MainWindowServices().ShownMessage();
            if (shown == nullptr) return CopyOut({}, buf, cap);
            return CopyOut(field(*shown), buf, cap);
        },
        CopyOut({}, buf, cap));
}

}  // namespace

void InstallPluginHost(TPluginHost* newHost) {
    host = newHost;
}

TPluginHost& PluginHost() {
    return host != nullptr ? *host : fallbackHost;
}

int32_t CopyOut(const std::string& text, char* buf, int32_t cap) {
    const auto length = static_cast<int32_t>(std::min<size_t>(text.size(), INT32_MAX - 1));
    if (buf != nullptr && cap > 0) {
        const int32_t n = std::min(length, cap - 1);
        if (n > 0) text.copy(buf, static_cast<size_t>(n));
        buf[n] = '\0';
    }
    return length;
}

}  // namespace pelmar

using namespace pelmar;

extern "C" {

PLM_EXPORT int32_t plmGetVerInfo(char* buf, int32_t cap) {
    return Guard([&] { return CopyOut(Settings.VersionText, buf, cap); }, 0);
}

PLM_EXPORT void plmShowStatusbarMessage(const char* text) {
    Guard(
        [&] {
            MainWindowServices().SetStatusText(Text(text));
            return 0;
        },
        0);
}

PLM_EXPORT int32_t plmMBGetFrom(char* buf, int32_t cap) {
    return MessageText(buf, cap, [](const TShownMessage& b) { return b.FromName; });
}
PLM_EXPORT int32_t plmMBGetTo(char* buf, int32_t cap) {
    return MessageText(buf, cap, [](const TShownMessage& b) { return b.ToName; });
}
PLM_EXPORT int32_t plmMBGetFidoOrig(char* buf, int32_t cap) {
    return MessageText(buf, cap, [](const TShownMessage& b) { return b.OrigAddr; });
}
PLM_EXPORT int32_t plmMBGetFidoDest(char* buf, int32_t cap) {
    return MessageText(buf, cap, [](const TShownMessage& b) { return b.DestAddr; });
}
PLM_EXPORT int32_t plmMBGetKludges(char* buf, int32_t cap) {
    return MessageText(buf, cap, [](const TShownMessage& b) {
        std::string lines;
        for (const std::string& line : b.Kludges) lines += line + "\r\n";
        return lines;
    });
}
PLM_EXPORT int32_t plmMBGetPureText(char* buf, int32_t cap) {
    return MessageText(buf, cap, [](const TShownMessage& b) { return b.Text; });
}

PLM_EXPORT void* plmGetMainForm(void) {
    return Guard([] { return PluginHost().MainForm(); }, nullptr);
}

PLM_EXPORT void* plmAddAction(int32_t position, const char* text, const char* hint, void* instance,
                              const char* bitmap, uint8_t glyphs, int32_t reserved, int32_t show) {
    if (show == 0) return nullptr;
    return Guard([&] { return PluginHost().AddAction(position, Text(hint), instance, Text(bitmap), glyphs); },
                 static_cast<void*>(nullptr));
}

PLM_EXPORT int32_t plmRemoveAction(void* button) {
    return Guard([&] { return PluginHost().RemoveAction(button) ? 1 : 0; }, 0);
}

PLM_EXPORT void plmHideTopMosts(void) {
    Guard(
        [] {
            PluginHost().HideTopMosts();
            return 0;
        },
        0);
}

PLM_EXPORT void plmShowTopMosts(void) {
    Guard(
        [] {
            PluginHost().ShowTopMosts();
            return 0;
        },
        0);
}

PLM_EXPORT void plmShowPluginAbout(const char* caption, const char* line1, const char* line2,
                                   const char* text) {
    Guard(
        [&] {
            PluginHost().ShowPluginAbout(Text(caption), Text(line1), Text(line2), Text(text));
            return 0;
        },
        0);
}

}  // extern "C"
