#pragma once
// Delete, copy and move of listed messages, and the counters they and read marking change.
//
// Every message is recognised again before it is touched (a tosser may have changed the base since
// it was listed); counters change only for what really happened, and never go below 0.
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "reader/ReadingCommands.h"

namespace pelmar {

class TAreaInfo;
class TMessageBase;

// One message a command acts on, as the list knows it.
struct TListedMessage {
    int32_t Position = 0;
    TMessageIdentity Identity;
    bool Deleted = false;
};

enum class TItemResult {
    Done,
    Skipped,  // already deleted
    Changed,  // the base holds another message at the position now
    Refused,  // the base could not be locked (the base has told the user)
};

// Lowers a counter by one, stopping at 0.
void DecrementToZero(std::atomic<int32_t>& counter);

// The counters of a message just marked read: the area's unread count, and its personal count when
// the entry's own addressee is the user.
void CountMarkedRead(TAreaInfo& area, const std::string& entryToName);

// Deletes each message from `base` under the area's lock. Results in the order of `items`; the
// area's MsgCount drops for each Done.
std::vector<TItemResult> DeleteListed(TAreaInfo& area, TMessageBase& base,
                                      const std::vector<TListedMessage>& items);

struct TCopyOutcome {
    std::vector<TItemResult> Results;  // per item; items after a refusal are not tried
    int Copied = 0;
    bool Refused = false;
    // What the target reported after storing messages (Warnings), each line once; CopyListed has
    // already shown them to the user.
    std::vector<std::string> Warnings;
};

// Copies each message from `source` into `target` (the shared base of `targetArea`), each write
// under the target area's lock. The target's MsgCount rises only for a message really written.
// Copying stops at the first refused write. Each message is read and written as stored (RawText),
// so its bytes and its CHRS line arrive unchanged whatever set it declares.
TCopyOutcome CopyListed(TMessageBase& source, const std::vector<TListedMessage>& items, TAreaInfo& targetArea,
                        TMessageBase& target);

// The items a copy really wrote: a move deletes these and keeps every other original.
std::vector<TListedMessage> CopiedItems(const std::vector<TListedMessage>& items,
                                        const TCopyOutcome& outcome);

}  // namespace pelmar
