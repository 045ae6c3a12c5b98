// Texts crossing the plug-in boundary. The host asks a plug-in for its name and description with a
// buffer, and asks again with the length the plug-in reports; here a scripted plug-in answers with
// lengths and writes from the input, honest or not. The other way, the program's exported functions
// copy a shown message's fields of any bytes into buffers of any capacity a plug-in offers, and take
// its texts for the status line and its about box.
#include <pelmar/plugin.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzBase.h"
#include "plugins/PluginHost.h"
#include "reader/MainWindowServices.h"
#include "reader/ReadingCommands.h"

namespace {

using namespace pelmar;

void Fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

uint32_t Le32(std::string_view bytes, size_t at) {
    uint32_t value = 0;
    for (size_t b = 0; b < 4; ++b) {
        if (at + b < bytes.size())
            value |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + b])) << (8 * b);
    }
    return value;
}

// One answer of the scripted plug-in per call: the length it reports, how much it writes and
// whether it ends with a NUL.
struct TScript {
    std::string_view Steps;  // 6 bytes a call
    std::string_view Text;
    int Calls = 0;
    std::string LastWritten;

    int32_t Answer(char* buf, int32_t cap) {
        const size_t at = static_cast<size_t>(Calls++) * 6;
        const auto length = static_cast<int32_t>(Le32(Steps, at));
        const uint8_t amount = at + 4 < Steps.size() ? static_cast<uint8_t>(Steps[at + 4]) : 0;
        const bool terminate = at + 5 < Steps.size() && (Steps[at + 5] & 1) != 0;
        size_t written = amount == 255 ? static_cast<size_t>(cap) : std::min<size_t>(cap, amount * 16u);
        LastWritten.clear();
        for (size_t i = 0; i < written && !Text.empty(); ++i) LastWritten += Text[i % Text.size()];
        written = LastWritten.size();
        std::memcpy(buf, LastWritten.data(), written);
        if (terminate && written < static_cast<size_t>(cap)) buf[written] = '\0';
        return length;
    }
};

// A plug-in that keeps the rule: the full length, what fits and a NUL.
struct THonest {
    std::string Text;
    int Calls = 0;
    int32_t Answer(char* buf, int32_t cap) {
        ++Calls;
        return CopyOut(Text, buf, cap);
    }
};

class TServices : public TMainWindowServices {
public:
    TShownMessage Message;
    std::string Status;
    const TShownMessage* ShownMessage() override { return &Message; }
    void SetStatusText(const std::string& text) override { Status = text; }
};

class THost : public TPluginHost {
public:
    std::string About;
    void ShowPluginAbout(const std::string& caption, const std::string& line1, const std::string& line2,
                         const std::string& text) override {
        About = caption + line1 + line2 + text;
    }
};

// A field read by a plug-in through an exported function into a buffer of exactly `cap` bytes.
void ReadField(int32_t (*fn)(char*, int32_t), const std::string& field, int32_t cap) {
    std::unique_ptr<char[]> buffer(cap > 0 ? new char[static_cast<size_t>(cap)] : nullptr);
    const int32_t length = fn(buffer.get(), cap);
    if (length != static_cast<int32_t>(field.size())) Fail("exported function reported another length");
    if (cap > 0) {
        const size_t n = std::min(field.size(), static_cast<size_t>(cap) - 1);
        if (field.compare(0, n, buffer.get(), n) != 0 || buffer[n] != '\0') Fail("exported text cut wrongly");
    }
    // The same through the host's own asking rule: the text up to its first NUL.
    const std::string asked = CallOut(fn);
    if (asked != field.substr(0, field.find('\0'))) Fail("asking again did not give the whole text");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Capacities, the script of the plug-in, its text, and the shown message's text.
    const auto parts = fuzz::SplitParts(data, size, 4);

    TScript script{parts[1], parts[2], 0, {}};
    const std::string got = CallOut([&](char* buf, int32_t cap) { return script.Answer(buf, cap); });
    if (script.Calls > 8) Fail("asked the plug-in more than eight times");
    if (got.find('\0') != std::string::npos) Fail("plug-in text kept a NUL");
    if (got.size() > static_cast<size_t>(MaxPluginText) + 1) Fail("plug-in text longer than the limit");
    if (!got.empty() && script.LastWritten.compare(0, got.size(), got) != 0)
        Fail("text not what the plug-in wrote");

    THonest honest{std::string(parts[2])};
    const std::string name = CallOut([&](char* buf, int32_t cap) { return honest.Answer(buf, cap); });
    if (name != honest.Text.substr(0, honest.Text.find('\0'))) Fail("an honest plug-in's text came back cut");
    if (honest.Calls > 2) Fail("an honest plug-in asked more than twice");

    static TServices services;
    static THost host;
    InstallMainWindowServices(&services);
    InstallPluginHost(&host);
    services.Message.Text = parts[3];
    services.Message.FromName = parts[2];
    services.Message.Kludges = {std::string(parts[2]), std::string(parts[3].substr(0, 80))};
    std::string kludges;
    for (const std::string& line : services.Message.Kludges) kludges += line + "\r\n";
    const std::string_view caps = parts[0];
    auto cap = [&](size_t i) {
        // Any capacity a plug-in may offer, zero and negative ones included, up to 64 KB.
        return static_cast<int32_t>(static_cast<int16_t>(Le32(caps, 2 * i) & 0xFFFF)) * 2;
    };
    ReadField(plmMBGetPureText, services.Message.Text, cap(0));
    ReadField(plmMBGetFrom, services.Message.FromName, cap(1));
    ReadField(plmMBGetKludges, kludges, cap(2));

    const std::string text(parts[2]);
    plmShowStatusbarMessage(text.c_str());
    if (services.Status != text.substr(0, text.find('\0'))) Fail("status text not as given");
    plmShowStatusbarMessage(nullptr);
    plmShowPluginAbout(text.c_str(), nullptr, text.c_str(), "");
    (void)plmAddAction(0, text.c_str(), text.c_str(), nullptr, nullptr, 0, 0, 1);
    InstallMainWindowServices(nullptr);
    InstallPluginHost(nullptr);
    return 0;
}
