#pragma once
// What the exported plug-in functions need from the window layer. The window layer installs its
// implementation while the main window exists; without one the functions answer "none".
#include <cstdint>
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

// Reads an output text from a plug-in function, growing the buffer while the text was cut.
template <typename Fn>
std::string CallOut(Fn fn) {
    std::string buffer(256, '\0');
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int32_t length = fn(buffer.data(), static_cast<int32_t>(buffer.size()));
        if (length < 0) return {};
        if (length < static_cast<int32_t>(buffer.size())) {
            buffer.resize(static_cast<size_t>(length));
            return buffer;
        }
        // Names and descriptions are short; a plug-in claiming more than 1 MB is cut there.
        if (length >= (1 << 20)) {
            buffer.resize((1 << 20) - 1);
            return buffer;
        }
        buffer.assign(static_cast<size_t>(length) + 1, '\0');
    }
    return {};
}

}  // namespace pelmar
