#pragma once
// The first-run wizard's work that needs no window: the linked groups it makes, the default
// templates it writes and the own addresses it takes from a tosser.
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace pelmar {

class TAreaInfo;

// The first of the children "name", "name 2", "name 3", ... that is a linked group of `kind`, or a
// new empty linked group of that kind under the first of those names that is free. An entry of
// another kind is never reused: turning it into a link would replace its areas.
TAreaInfo& LinkedGroupFor(TAreaInfo& root, const std::string& name, int kind);

// The default templates as (name, text): those of the template code unless replaced (tests).
using TDefaultTemplates = std::function<std::vector<std::pair<std::string, std::string>>()>;
void SetDefaultTemplates(TDefaultTemplates defaults);
// Writes every default template the store does not hold yet; templates a user has already (another
// profile included) stay as they are. False when a save failed.
bool WriteMissingTemplates();

// Appends the addresses not among Settings.SelfAKA yet; the first becomes the main one when the
// profile had none.
void AdoptAddresses(const std::vector<std::string>& addresses);
// Takes the tosser's echotoss.log for the settings when they name none; true when it was taken.
bool AdoptEchoTossLog(const std::string& path);

}  // namespace pelmar
