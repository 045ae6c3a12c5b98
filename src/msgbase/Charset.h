#pragma once
// The character set a message declares in its CHRS control line, and text conversion by it.
#include <string>
#include <string_view>
#include <vector>

namespace pelmar {

enum class TCharset { Unknown, Ascii, Cp866, Cp437, Cp1251, Koi8R, Koi8U, Latin1, Iso88595, Utf8 };

// The identifier of a CHRS value ("CP866 2", "IBM PC 2", "UTF-8 4", "koi8-r"), case, blanks, '-'
// and '_' ignored, the level optional. Unknown for anything else.
TCharset ParseCharsetName(std::string_view value);
// The first "CHRS:" (or "CHARSET:") line of the control lines; Unknown when there is none.
TCharset DeclaredCharset(const std::vector<std::string>& kludges);

// The first CHRS (or CHARSET) control line inside stored text, where every control line starts with
// ^A; Unknown when there is none.
TCharset DeclaredCharsetInStored(std::string_view stored);

// The DOS code page, or no declaration at all (read as the DOS code page).
inline bool IsDosCharset(TCharset charset) {
    return charset == TCharset::Unknown || charset == TCharset::Cp866;
}

// The set a stored body is read by: the declaration in `headerKludges` (control lines the format
// keeps apart from the text), else the one in the text itself.
TCharset DeclaredBodyCharset(std::string_view stored, const std::vector<std::string>& headerKludges);

// The body conversion of ReadMessage: while the view's code-page switch is at DOS, the stored text
// is converted by the declaration in `headerKludges` (control lines the format keeps apart from the
// text) or else in the text itself; under the Windows switch it is copied as stored.
std::string DeclaredBodyToAnsi(std::string_view stored, const std::vector<std::string>& headerKludges);

// Stored bytes to UTF-8, nothing lost. Unknown is taken as the DOS code page.
std::string CharsetToUtf8(TCharset charset, std::string_view bytes);
// Stored bytes to the Windows code page (CP1251). Unknown and CP866 convert as the DOS code page
// always did; characters CP1251 lacks become '?'.
std::string CharsetToAnsi(TCharset charset, std::string_view bytes);

}  // namespace pelmar
