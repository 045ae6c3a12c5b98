// Date and address texts as they come from message headers, control lines and the user.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/Address.h"
#include "core/Errors.h"
#include "msgbase/MessageBase.h"

namespace {

void Check(bool condition, const char* what, const std::string& input) {
    if (condition) return;
    std::fprintf(stderr, "%s for \"%s\"\n", what, input.c_str());
    std::abort();
}

void FuzzDate(const std::string& text) {
    using namespace pelmar;
    try {
        const TDateTime value = ParseFtsDate(text);
        int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
        DecodeDateTime(value, year, month, day, hour, minute, second);
        Check(year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 && day <= 31,
              "date outside the calendar", text);
        FormatFtsDate(value);
        DateTimeToUnix(value);
        uint16_t dosDate = 0, dosTime = 0;
        DateTimeToDos(value, dosDate, dosTime);
    } catch (const EConvertError&) {
    }
}

void FuzzAddress(const std::string& text) {
    using namespace pelmar;
    uint16_t zone = 0, net = 0, node = 0, point = 0;
    ParseAddress(text, true, zone, net, node, point);
    ParseAddress(text, false, zone, net, node, point);
    // What the loose reading found must survive being written out and read again.
    uint16_t z2 = 0, n2 = 0, f2 = 0, p2 = 0;
    const std::string formatted = FormatAddress(zone, net, node, point);
    ParseAddress(formatted, false, z2, n2, f2, p2);
    Check(z2 == zone && n2 == net && f2 == node && p2 == point, "address changes when written out", text);
    int16_t mz = 0, mn = 0, mf = 0, mp = 0;
    ParseAddressMask(text, mz, mn, mf, mp);
    IsValidAddress(text);
    IsValidAddressMask(text);
    FormatNetAddress(ParseNetAddress(text));
    EchoAddress(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    FuzzDate(text);
    FuzzAddress(text);
    if (size >= 4) {
        try {
            pelmar::DosToDateTime(uint16_t(data[0] | data[1] << 8), uint16_t(data[2] | data[3] << 8));
        } catch (const pelmar::EConvertError&) {
        }
    }
    return 0;
}
