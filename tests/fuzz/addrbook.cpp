// The address book reader. Whatever it accepts must save to the same bytes, or every exit would
// change the book.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "nodelist/AddressBook.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    pelmar::TAddressBook book("/nonexistent/");
    if (!book.Parse(bytes)) {
        book.Serialise();
        return 0;
    }
    if (book.Serialise() != bytes) {
        std::fprintf(stderr, "an accepted address book does not save back the same\n");
        std::abort();
    }
    return 0;
}
