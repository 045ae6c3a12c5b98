#pragma once
// The CP866 table the fixture dumps were decoded with, kept apart from the code under test: turns
// the UTF-8 of a dump back into the bytes a base stores.
#include <string>
#include <string_view>

namespace pelmar::test {

// UTF-8 text of CP866 characters back to CP866 bytes ('?' for anything else).
std::string Utf8ToCp866(std::string_view utf8);

}  // namespace pelmar::test
