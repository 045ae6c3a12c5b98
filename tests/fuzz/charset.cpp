// The declared character sets both ways: a CHRS value (or control lines, or stored text) picks the
// set, the stored bytes are decoded by it, and a letter's UTF-8 is encoded for a base. The decoders
// must give well-formed UTF-8 and keep what is meant to be kept; the encoder must lose exactly the
// characters the editor reports as unstorable.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzBase.h"
#include "core/Codepage.h"
#include "editor/StorableText.h"
#include "msgbase/Charset.h"

namespace {

using namespace pelmar;

void Fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

// Strict UTF-8: no overlong forms, surrogates or values past U+10FFFF. Counts the characters.
bool WellFormed(std::string_view text, size_t* characters = nullptr) {
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++count) {
        const auto b = static_cast<uint8_t>(text[i]);
        size_t length = b < 0x80                 ? 1
                        : b >= 0xC2 && b <= 0xDF ? 2
                        : b >= 0xE0 && b <= 0xEF ? 3
                        : b >= 0xF0 && b <= 0xF4 ? 4
                                                 : 0;
        if (length == 0 || i + length > text.size()) return false;
        char32_t ch = length == 1 ? b : b & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<uint8_t>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            ch = (ch << 6) | (next & 0x3F);
        }
        if ((length == 3 && ch < 0x800) || (length == 4 && ch < 0x10000) || ch > 0x10FFFF ||
            (ch >= 0xD800 && ch <= 0xDFFF))
            return false;
        i += length;
    }
    if (characters != nullptr) *characters = count;
    return true;
}

size_t Questions(std::string_view text) {
    size_t n = 0;
    for (const char c : text) n += c == '?';
    return n;
}

std::vector<std::string> Lines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find('\n', start), text.size());
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

constexpr TCharset kAll[] = {TCharset::Unknown,  TCharset::Ascii, TCharset::Cp866, TCharset::Cp437,
                             TCharset::Cp1251,   TCharset::Koi8R, TCharset::Koi8U, TCharset::Latin1,
                             TCharset::Iso88595, TCharset::Utf8};

void Decode(TCharset charset, std::string_view bytes) {
    size_t characters = 0;
    const std::string utf8 = CharsetToUtf8(charset, bytes);
    if (!WellFormed(utf8, &characters)) Fail("decoder gave malformed UTF-8");
    if (charset == TCharset::Utf8) {
        // Well-formed input comes back as it was; anything else is cleaned once and for all.
        if (WellFormed(bytes) && utf8 != bytes) Fail("well-formed UTF-8 changed by decoding");
        if (CharsetToUtf8(TCharset::Utf8, utf8) != utf8) Fail("decoding UTF-8 twice changed it");
        if (characters > bytes.size()) Fail("more characters than bytes");
    } else if (characters != bytes.size()) {
        Fail("an 8-bit set gave other than one character a byte");
    }
    // Every 8-bit set but ASCII maps its bytes to distinct characters: nothing is lost on the way.
    if (charset == TCharset::Cp1251 && Utf8ToAnsi(utf8) != bytes) Fail("CP1251 lost a byte through UTF-8");
    if ((charset == TCharset::Cp866 || charset == TCharset::Unknown) && Utf8ToOem(utf8) != bytes)
        Fail("CP866 lost a byte through UTF-8");
    const std::string ansi = CharsetToAnsi(charset, bytes);
    if (charset != TCharset::Utf8 && ansi.size() != bytes.size()) Fail("an 8-bit set changed the length");
    if (charset == TCharset::Utf8 && ansi.size() != characters) Fail("one byte a character into CP1251");
}

// A letter typed in the editor, on its way into a base: UTF-8 to CP1251 to CP866.
void Encode(std::string_view utf8) {
    const std::string ansi = Utf8ToAnsi(utf8);
    const std::string oem = AnsiToOem(ansi);
    if (oem.size() != ansi.size()) Fail("CP1251 to CP866 changed the length");
    const auto lostAnsi = UnstorableCharacters(utf8, TTextCodePage::Cp1251);
    const auto lostOem = UnstorableCharacters(utf8, TTextCodePage::Cp866);
    if (Questions(ansi) != Questions(utf8) + lostAnsi.size())
        Fail("CP1251 lost other characters than reported");
    if (Questions(oem) != Questions(utf8) + lostOem.size()) Fail("CP866 lost other characters than reported");
    for (size_t i = 1; i < lostOem.size(); ++i) {
        if (lostOem[i].Offset < lostOem[i - 1].Offset + lostOem[i - 1].Length)
            Fail("unstorable offsets overlap");
    }
    // The same letter through the direct conversion.
    if (Utf8ToOem(utf8).size() != ansi.size()) Fail("UTF-8 to CP866 and to CP1251 differ in length");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A CHRS value, control lines (one a line), the stored text, and the text of a letter.
    const auto parts = fuzz::SplitParts(data, size, 4);
    const TCharset named = ParseCharsetName(parts[0]);
    const std::vector<std::string> kludges = Lines(parts[1]);
    const TCharset declared = DeclaredCharset(kludges);
    const TCharset inStored = DeclaredCharsetInStored(parts[2]);
    const TCharset body = DeclaredBodyCharset(parts[2], kludges);
    if (body != (declared != TCharset::Unknown ? declared : inStored))
        Fail("body set not the header's first");
    (void)DeclaredBodyToAnsi(parts[2], kludges);

    for (const TCharset charset : {named, declared, inStored}) Decode(charset, parts[2]);
    // The stored text by every set, so that each decoder sees every input.
    for (const TCharset charset : kAll) Decode(charset, parts[3]);
    Encode(parts[3]);
    Encode(CharsetToUtf8(named, parts[2]));

    // The pair pelmar-tool uses to carry pseudographics gives back every stored byte but DEL.
    SetLosslessOem(true);
    std::string noDel(parts[2]);
    for (char& c : noDel) {
        if (c == '\x7F') c = ' ';
    }
    const bool kept = AnsiToOem(OemToAnsi(noDel)) == noDel;
    SetLosslessOem(false);
    if (!kept) Fail("lossless CP866 round trip lost a byte");
    return 0;
}
