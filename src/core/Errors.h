#pragma once
// Error types shared by the whole program.
#include <stdexcept>
#include <string>

namespace pelmar {

// Every failure of a message base, and of a value read from one or typed by the user: the windows
// catch this one type and show what() after "Ошибка при чтении базы:\r\n". Programming faults stay
// std::logic_error.
class EBaseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A value read from a base or typed by the user could not be converted (a bad date, a non-numeric
// point number).
class EConvertError : public EBaseError {
public:
    using EBaseError::EBaseError;
};

// A message could not be read because its record is damaged or truncated, the file could not be
// read, or the message is no longer the one that was listed. The walk over the base goes on with
// the next message.
class EReadError : public EBaseError {
public:
    using EBaseError::EBaseError;
};

// A base could not be changed: a write to its files failed, or the base is full.
class EWriteError : public EBaseError {
public:
    using EBaseError::EBaseError;
};

// "<what>: <the text of errno>", for the errors above.
std::string ErrnoText(const std::string& what);

}  // namespace pelmar
