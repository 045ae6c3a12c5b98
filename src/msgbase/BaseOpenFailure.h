#pragma once
// Why a base did not open. The formats' Open only says whether it worked; once it has not, this
// looks at the files the base is made of and names the reason for the user (and for tools, which
// print the key).
#include <cstdint>
#include <string>

namespace pelmar {

enum class TBaseOpenFailure : uint8_t {
    None,          // the base opened (or nothing has tried yet)
    Missing,       // its folder or one of its files is not there
    NoPermission,  // there, but this user may not read it
    Damaged,       // every file is there and readable, the format refused what it holds
    Locked,        // ... while another program holds the writers' lock: it is being written
    BadSetting,    // the area names no usable base (unknown kind, empty path, Hudson board outside 1..200)
};

// The reason an Open of a base of `kind` (BaseFactory.h) at `path` that left the base closed
// failed. Looks at the files only: call it after the open has failed, never to predict one. Never
// returns None.
TBaseOpenFailure BaseOpenFailureReason(int kind, const std::string& path);

// The reason for the user, CP1251, lower case ("база не найдена"); empty for None.
std::string BaseOpenFailureText(TBaseOpenFailure reason);
// A stable ASCII word for files and tools: "missing", "no-permission", "damaged", "locked",
// "bad-setting"; empty for None.
const char* BaseOpenFailureKey(TBaseOpenFailure reason);
// Where the base of `kind` lives as the user set it: the path, for Hudson without its board byte.
std::string BaseLocation(int kind, const std::string& path);

}  // namespace pelmar
