#pragma once
// Small text utilities shared by every subsystem. All text is CP1251.
#include <string>
#include <vector>

namespace pelmar {

bool StartsWith(const std::string& prefix, const std::string& text);
// The same after upper-casing both with the CP1251 rules.
bool StartsWithText(const std::string& prefix, const std::string& text);
// First letters of the first three words.
std::string NameInitials(const std::string& name);
// Folds leading "Re: Re: ..." / "Re^2: ..." prefixes into one.
std::string CompactReplyPrefix(const std::string& prefix, const std::string& subject);
std::string JoinList(const std::vector<std::string>& items);
bool IsValidUserName(const std::string& text);

// Whether a key (Windows virtual-key code) is held down now. The core cannot see the keyboard; the
// user interface installs the query at start-up. Without it every key reads as up.
using KeyStateQuery = bool (*)(int virtualKey);
void SetKeyStateQuery(KeyStateQuery query);
bool IsKeyDown(int virtualKey);

// Creates the file empty when it does not exist; an existing file is never touched. Errors are ignored.
void CreateFlagFile(const std::string& path);

}  // namespace pelmar
