#pragma once
// Delete, copy and move of listed messages: parts of the write layer (reader/Writes.h).
//
// Every message is recognised again before it is touched (a tosser may have changed the base since
// it was listed); counters change only for what really happened, and never go below 0. Each item
// gets its outcome; nothing is shown.
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "reader/Writes.h"

namespace pelmar {

class TAreaInfo;
class TMessageBase;

// Lowers a counter by one, stopping at 0.
void DecrementToZero(std::atomic<int32_t>& counter);

// Deletes each message from `base` under the area's lock. Outcomes in the order of `items`: Skipped
// for an entry already deleted, Changed for one the base no longer holds as listed, Refused with
// the base's reason. The area's MsgCount drops for each Done.
std::vector<TItemOutcome> DeleteListed(TAreaInfo& area, TMessageBase& base,
                                       const std::vector<TListedMessage>& items);

struct TCopyOutcome {
    std::vector<TItemOutcome> Results;  // one per item; items after a refusal are refused as well
    int Copied = 0;
    bool Refused = false;
    // What the target reported after storing messages (Warnings), each line once, for the caller
    // to show.
    std::vector<std::string> Warnings;
};

// Copies each message from `source` into the shared base of `targetArea`, each write under the
// target area's lock. A target whose base does not open refuses every item with the reason. The
// target's MsgCount rises only for a message really written. Copying stops at the first refused
// write. Each message is read and written as stored (RawText), so its bytes and its CHRS line arrive
// unchanged whatever set it declares.
TCopyOutcome CopyListed(TMessageBase& source, const std::vector<TListedMessage>& items,
                        TAreaInfo& targetArea);
// The same into a base the caller has opened.
TCopyOutcome CopyListed(TMessageBase& source, const std::vector<TListedMessage>& items, TAreaInfo& targetArea,
                        TMessageBase& target);

// The items a copy really wrote: a move deletes these and keeps every other original.
std::vector<TListedMessage> CopiedItems(const std::vector<TListedMessage>& items,
                                        const TCopyOutcome& outcome);

}  // namespace pelmar
