// Enabling rules of the main window's commands.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "reader/CommandState.h"

namespace pelmar {
namespace {

using C = TCommand;

struct TCase {
    std::string Name;
    TCommandContext Context;
    std::set<C> Enabled;  // of the message commands below
};

// The commands whose state depends on the context.
const std::set<C> kRuled = {C::Reply,       C::ReplyNetmail, C::Forward,      C::Edit,       C::Multiply,
                            C::Delete,      C::Copy,         C::UUDecode,     C::Save,       C::Print,
                            C::AddBookmark, C::FindNext,     C::TakeTearline, C::TakeOrigin, C::PrevUnread,
                            C::MarkUnread,  C::MarkAreaRead};

TCommandContext Shown(int selected, bool selectionHasDeleted = false) {
    TCommandContext c;
    c.HasCurrentEntry = true;
    c.SelectionCount = selected;
    c.SelectionHasDeleted = selectionHasDeleted;
    return c;
}

const std::set<C> kSingleLive = {C::Reply,      C::Forward,    C::Edit,      C::Delete,      C::Copy,
                                 C::UUDecode,   C::Save,       C::Print,     C::AddBookmark, C::TakeTearline,
                                 C::TakeOrigin, C::PrevUnread, C::MarkUnread};

std::vector<TCase> Cases() {
    std::vector<TCase> cases;
    cases.push_back({"nothing shown", {}, {}});
    cases.push_back({"one shown", Shown(1), kSingleLive});
    cases.push_back({"shown, nothing selected counts as single", Shown(0), kSingleLive});
    cases.push_back({"two selected",
                     Shown(2),
                     {C::Delete, C::Copy, C::UUDecode, C::Save, C::AddBookmark, C::TakeTearline,
                      C::TakeOrigin, C::PrevUnread, C::MarkUnread}});
    cases.push_back(
        {"two selected, one deleted", Shown(2, true), {C::TakeTearline, C::TakeOrigin, C::PrevUnread}});
    cases.push_back({"one selected and deleted",
                     Shown(1, true),
                     {C::Reply, C::Forward, C::Edit, C::TakeTearline, C::TakeOrigin, C::PrevUnread}});
    {
        TCommandContext c = Shown(1);
        c.CurrentDeleted = true;
        // Reading goes on from a deleted message; it cannot be marked.
        cases.push_back({"shown entry deleted", c, {C::PrevUnread}});
    }
    {
        TCommandContext c;
        c.AreaListed = true;
        cases.push_back({"area listed, nothing shown", c, {C::MarkAreaRead}});
    }
    {
        TCommandContext c = Shown(1);
        c.NetmailAreaExists = true;
        std::set<C> e = kSingleLive;
        e.insert(C::ReplyNetmail);
        cases.push_back({"netmail area configured", c, e});
        c.SelectionCount = 2;
        cases.push_back({"netmail area, two selected",
                         c,
                         {C::Delete, C::Copy, C::UUDecode, C::Save, C::AddBookmark, C::TakeTearline,
                          C::TakeOrigin, C::PrevUnread, C::MarkUnread}});
    }
    {
        TCommandContext c;
        c.NetmailAreaExists = true;
        cases.push_back({"netmail area, nothing shown", c, {}});
    }
    {
        TCommandContext c = Shown(1);
        c.CurrentAreaIsNetmail = true;
        std::set<C> e = kSingleLive;
        e.insert(C::Multiply);
        cases.push_back({"in a netmail area", c, e});
        c.SelectionCount = 3;
        cases.push_back({"in a netmail area, three selected",
                         c,
                         {C::Delete, C::Copy, C::UUDecode, C::Save, C::AddBookmark, C::TakeTearline,
                          C::TakeOrigin, C::PrevUnread, C::MarkUnread}});
    }
    {
        TCommandContext c;
        c.HasFindNextPosition = true;
        cases.push_back({"find-next position", c, {C::FindNext}});
    }
    return cases;
}

TEST(CommandState, RulesFollowTheContext) {
    for (const TCase& row : Cases()) {
        TCommandState state;
        state.Update(row.Context);
        for (C command : kRuled) {
            EXPECT_EQ(state.Allowed(command), row.Enabled.count(command) == 1)
                << row.Name << ": command " << static_cast<int>(command);
        }
        // Everything without a rule is always allowed.
        for (std::size_t i = 0; i < CommandCount; ++i) {
            const C command = static_cast<C>(i);
            if (kRuled.count(command) == 0) {
                EXPECT_TRUE(state.Allowed(command)) << row.Name << ": " << i;
            }
        }
    }
}

// A greyed reply by netmail says what to set; other greyed commands have nothing to tell.
TEST(CommandState, DisabledReplyByNetmailNamesTheMissingSetting) {
    struct TRow {
        const char* Name;
        TCommandContext Context;
        TDisabledHint Netmail;
    };
    TCommandContext configured = Shown(1);
    configured.NetmailAreaExists = true;
    TCommandContext configuredTwo = configured;
    configuredTwo.SelectionCount = 2;
    const TRow rows[] = {
        {"nothing shown, none set", {}, TDisabledHint::NoNetmailArea},
        {"shown, none set", Shown(1), TDisabledHint::NoNetmailArea},
        {"set and enabled", configured, TDisabledHint::None},
        {"set, greyed by the selection", configuredTwo, TDisabledHint::None},
    };
    for (const TRow& row : rows) {
        TCommandState state;
        state.Update(row.Context);
        EXPECT_EQ(state.Hint(C::ReplyNetmail), row.Netmail) << row.Name;
        EXPECT_EQ(state.Hint(C::Reply), TDisabledHint::None) << row.Name;
    }
}

TEST(CommandState, UnavailableCommandsStayDisabledWhateverTheRules) {
    TCommandState state;
    state.SetAvailable(C::Reply, false);
    state.SetAvailable(C::AreasDialog, false);
    state.Update(Shown(1));
    EXPECT_TRUE(state.Allowed(C::Reply));
    EXPECT_FALSE(state.Enabled(C::Reply));
    EXPECT_FALSE(state.Enabled(C::AreasDialog));
    EXPECT_TRUE(state.Enabled(C::Forward));
    state.SetAvailable(C::Reply, true);
    EXPECT_TRUE(state.Enabled(C::Reply));
    // A later update keeps what is available.
    state.Update(TCommandContext{});
    EXPECT_FALSE(state.Enabled(C::Reply));
    EXPECT_FALSE(state.Enabled(C::AreasDialog));
    EXPECT_TRUE(state.Enabled(C::NewLetter));
}

}  // namespace
}  // namespace pelmar
