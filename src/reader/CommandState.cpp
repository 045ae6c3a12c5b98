#include "reader/CommandState.h"

namespace pelmar {

TCommandState::TCommandState() {
    available_.fill(true);
    Update(TCommandContext{});
}

void TCommandState::SetAvailable(TCommand command, bool available) {
    available_[Index(command)] = available;
}

void TCommandState::Update(const TCommandContext& context) {
    for (std::size_t i = 0; i < CommandCount; ++i) {
        allowed_[i] = RuleAllows(static_cast<TCommand>(i), context);
        hints_[i] = HintFor(static_cast<TCommand>(i), context);
    }
}

TDisabledHint TCommandState::HintFor(TCommand command, const TCommandContext& context) {
    // Told whatever else greys it: without a netmail area it stays grey on every message.
    if (command == TCommand::ReplyNetmail && !context.NetmailAreaExists) return TDisabledHint::NoNetmailArea;
    return TDisabledHint::None;
}

bool TCommandState::RuleAllows(TCommand command, const TCommandContext& context) {
    const bool shown = context.HasCurrentEntry && !context.CurrentDeleted;
    const bool single = context.SelectionCount <= 1;
    const bool allLive = !context.SelectionHasDeleted;
    switch (command) {
        case TCommand::Reply:
        case TCommand::Forward:
        case TCommand::Edit:
            return shown && single;
        case TCommand::ReplyNetmail:
            return shown && single && context.NetmailAreaExists;
        case TCommand::Print:
            return shown && allLive && single;
        case TCommand::Save:
        case TCommand::AddBookmark:
        case TCommand::UUDecode:
        case TCommand::Copy:
        case TCommand::Delete:
            return shown && allLive;
        case TCommand::FindNext:
            return context.HasFindNextPosition;
        case TCommand::Multiply:
            return shown && single && context.CurrentAreaIsNetmail;
        case TCommand::TakeTearline:
        case TCommand::TakeOrigin:
            return shown;
        case TCommand::MarkUnread:
            return shown && allLive;
        case TCommand::PrevUnread:
            // Walks up from the shown row.
            return context.HasCurrentEntry;
        case TCommand::MarkAreaRead:
            return context.AreaListed;
        default:
            // New message, find, threading, the selection and text commands, every window command,
            // and the next unread message (from the top of the list when nothing is shown, from
            // the first area with unread mail when none is listed).
            return true;
    }
}

}  // namespace pelmar
