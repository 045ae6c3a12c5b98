#include "core/Address.h"

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/Text.h"

namespace pelmar {
namespace {

// A decimal integer with an optional sign and surrounding blanks, within the 32-bit range.
std::optional<int32_t> ReadInteger(std::string_view text) {
    text = Trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > int64_t{INT32_MAX} + 1) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(value);
}

// Values wider than 16 bits keep their low 16 bits.
uint16_t ReadPart(std::string_view text, uint16_t fallback) {
    const auto value = ReadInteger(text);
    return value ? static_cast<uint16_t>(*value) : fallback;
}

int16_t ReadMaskPart(std::string_view text) {
    if (Trim(text) == "*") return -1;
    const auto value = ReadInteger(text);
    return value ? static_cast<int16_t>(static_cast<uint16_t>(*value)) : 0;
}

// The address split into its written parts; a part is absent when its separator is missing.
struct AddressParts {
    std::optional<std::string_view> zone;
    std::optional<std::string_view> net;
    std::string_view node;
    std::optional<std::string_view> point;
};

AddressParts Split(std::string_view text) {
    AddressParts parts;
    if (const auto at = text.find('@'); at != std::string_view::npos) text = text.substr(0, at);
    if (const auto colon = text.find(':'); colon != std::string_view::npos) {
        parts.zone = text.substr(0, colon);
        text.remove_prefix(colon + 1);
    }
    if (const auto slash = text.find('/'); slash != std::string_view::npos) {
        parts.net = text.substr(0, slash);
        text.remove_prefix(slash + 1);
    }
    if (const auto dot = text.find('.'); dot != std::string_view::npos) {
        parts.point = text.substr(dot + 1);
        text = text.substr(0, dot);
    }
    parts.node = text;
    return parts;
}

}  // namespace

void ParseAddress(const std::string& text, bool strict, uint16_t& zone, uint16_t& net, uint16_t& node,
                  uint16_t& point) {
    const uint16_t fallback = strict ? 0xFFFF : 0;
    const AddressParts parts = Split(text);
    zone = parts.zone ? ReadPart(*parts.zone, fallback) : fallback;
    net = parts.net ? ReadPart(*parts.net, fallback) : fallback;
    node = ReadPart(parts.node, fallback);
    point = parts.point ? ReadPart(*parts.point, 0) : 0;
}

void ParseAddressMask(const std::string& text, int16_t& zone, int16_t& net, int16_t& node, int16_t& point) {
    const AddressParts parts = Split(text);
    zone = parts.zone ? ReadMaskPart(*parts.zone) : 0;
    net = parts.net ? ReadMaskPart(*parts.net) : 0;
    node = ReadMaskPart(parts.node);
    point = parts.point ? ReadMaskPart(*parts.point) : 0;
}

std::string FormatAddress(int zone, int net, int node, int point) {
    std::string text;
    if (zone != 0) text = std::to_string(zone) + ":";
    text += std::to_string(net) + "/" + std::to_string(node);
    if (point != 0) text += "." + std::to_string(point);
    return text;
}

bool IsValidAddress(const std::string& text) {
    uint16_t zone = 0, net = 0, node = 0, point = 0;
    ParseAddress(text, true, zone, net, node, point);
    return zone != 0xFFFF && net != 0xFFFF && node != 0xFFFF;
}

bool IsValidAddressMask(const std::string& text) {
    int16_t zone = 0, net = 0, node = 0, point = 0;
    ParseAddressMask(text, zone, net, node, point);
    return zone != 0 && net != 0 && node != 0;
}

}  // namespace pelmar
