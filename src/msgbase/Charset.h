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

// Stored bytes to UTF-8, nothing lost. Unknown is taken as the DOS code page.
std::string CharsetToUtf8(TCharset charset, std::string_view bytes);
// Stored bytes to the Windows code page (CP1251). Unknown and CP866 convert as the DOS code page
// always did; characters CP1251 lacks become '?'.
std::string CharsetToAnsi(TCharset charset, std::string_view bytes);

}  // namespace pelmar
