#pragma once
// What the exported plug-in functions need from the window layer. The window layer installs its
// implementation while the main window exists; without one the functions answer "none".
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

namespace pelmar {

class TPluginHost {
public:
    virtual ~TPluginHost() = default;
    virtual void* MainForm() { return nullptr; }
    // A toolbar button for the plug-in loaded as `instance`, or null.
    virtual void* AddAction(int position, const std::string& hint, void* instance, const std::string& bitmap,
                            int glyphs) {
        return nullptr;
    }
    // Removes a button AddAction made; false for any other pointer (never dereferenced).
    virtual bool RemoveAction(void* button) { return false; }
    // Removes every button of the plug-in loaded as `instance` (it is being unloaded).
    virtual void RemoveActionsOf(void* instance) {}
    virtual void HideTopMosts() {}
    virtual void ShowTopMosts() {}
    virtual void ShowPluginAbout(const std::string& caption, const std::string& line1,
                                 const std::string& line2, const std::string& text) {}
};

void InstallPluginHost(TPluginHost* host);
// Never null.
TPluginHost& PluginHost();

// The output-text rule of the plug-in interface: copies what fits of `text` into buf (NUL-terminated
// when cap > 0) and returns the full length.
int32_t CopyOut(const std::string& text, char* buf, int32_t cap);

// Names and descriptions are short; a plug-in text longer than this is read cut to it.
inline constexpr int32_t MaxPluginText = 1 << 20;

// Reads an output text from a plug-in function, asking again with a buffer of the length it reported
// while the text was cut. Only what the plug-in wrote before its NUL is kept.
template <typename Fn>
std::string CallOut(Fn fn) {
    std::string buffer(256, '\0');
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int32_t length = fn(buffer.data(), static_cast<int32_t>(buffer.size()));
        if (length < 0) return {};
        const bool whole = length < static_cast<int32_t>(buffer.size());
        if (whole || buffer.size() > static_cast<size_t>(MaxPluginText)) {
            // The string's own terminator bounds the scan even if the plug-in wrote none.
            const size_t written = std::strlen(buffer.c_str());
            buffer.resize(whole ? std::min(written, static_cast<size_t>(length)) : written);
            return buffer;
        }
        buffer.assign(static_cast<size_t>(std::min(length, MaxPluginText)) + 1, '\0');
    }
    return {};
}

}  // namespace pelmar
