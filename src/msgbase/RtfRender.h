#pragma once
// Rich text of a message body for the view, the colour preview and saved RTF files.
//
// TMessageBase::RenderRtf / RenderPlainRtf take their inputs from the base and the global settings;
// the functions here take them explicitly so that callers and tests need no base.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace pelmar {

struct TRgb {
    uint8_t R = 0;
    uint8_t G = 0;
    uint8_t B = 0;
    bool operator==(const TRgb&) const = default;
};

// The colour table written into every coloured document; entry 0 stands for the automatic colour.
extern const std::array<TRgb, 16> RtfPalette;
// The colours the view paints its own background with, indexed by the same bytes (7 and 8 are
// swapped against RtfPalette).
extern const std::array<TRgb, 16> ViewPalette;

// Byte `index` (0..11) of a colour table as a palette index. A byte over 15 would index past both
// palettes; it takes the built-in default of that byte instead.
int ColorTableIndex(const std::array<uint8_t, 12>& table, int index);

struct TRenderInput {
    std::string_view RtfText;  // RtfEscape of the body
    int32_t FontIndex = 0;     // 0 fixed font, 2 proportional font
    bool OemView = false;      // the text is CP866: both font entries carry \cpg866
    std::string_view FixFont;
    std::string_view VarFont;
    int32_t FixSize = 10;
    int32_t VarSize = 10;
    std::array<uint8_t, 12> ColorTable{};
};

// The coloured document: quotes, tearline and origin in their colours, _underline_ and *bold*.
std::string RenderRtfDocument(const TRenderInput& input);
// The uncoloured document, always 8 points.
std::string RenderPlainRtfDocument(const TRenderInput& input);

}  // namespace pelmar
