#pragma once
// What the background count tells the main window after it counted areas: which areas it counted
// and the personal mail that arrived since their previous count.
//
// Areas are named by ID (TAreaInfo::ID): the report crosses from the scan thread to the window's
// thread, and an area may be deleted before the window reads it; the window looks each one up with
// AreaRegistry().FindAreaById and skips those that are gone.
#include <cstdint>
#include <string>
#include <vector>

namespace pelmar {

// One new unread message to the user (ToName is the profile's full name, FromName is not).
// Text fields are CP1251.
struct TNewPersonalMail {
    std::string AreaId;
    std::string AreaName;  // the tree's name of the area
    std::string FromName;
    std::string Subject;
    std::string MsgId;  // empty when the message has none
    int32_t Position = -1;  // list position in the area's base when it was counted
};

struct TScanReport {
    // A pass over every area (the safety net) rather than a recount of areas whose bases changed.
    bool FullPass = false;
    // IDs of the areas counted, each once.
    std::vector<std::string> CountedAreaIds;
    // Personal mail that was not there at the area's previous count. Empty at the first count of
    // an area (mail that was waiting at start is not news).
    std::vector<TNewPersonalMail> NewPersonal;
    // Set once, on the report after watching the bases became impossible (a network file system,
    // the limit of watches reached): the status line tells the user counting fell back to passes.
    std::string WatchNote;
};

}  // namespace pelmar
