#pragma once
// Error types shared by the whole program.
#include <stdexcept>
#include <string>

namespace pelmar {

// A value read from a base or typed by the user could not be converted (a bad date, a non-numeric
// point number). what() is the text shown to the user after "Ошибка при чтении базы:\r\n".
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A message could not be read because its record is damaged or truncated. what() is shown to the
// user the same way; the walk over the base goes on with the next message.
class EReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace pelmar
