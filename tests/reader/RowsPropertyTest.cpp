// Random expand / collapse / sort / reveal / add sequences: the rows must always be exactly the
// entries whose ancestors are all expanded, in tree order, each once, and every row notification
// must describe the change that was made.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "ReaderTestSupport.h"
#include "areas/gizmo.h"
#include "reader/ThreadList.h"

namespace pelmar {
namespace {

using test::TListBase;
using test::TListMessage;

// Entries of the tree in pre-order, with whether every ancestor is expanded.
void Walk(const TMessageClass& root, std::vector<TMessageClass*>& all, std::vector<TMessageClass*>& visible) {
    struct TItem {
        TMessageClass* Entry;
        bool Visible;
    };
    std::vector<TItem> stack;
    for (auto it = root.Replies.rbegin(); it != root.Replies.rend(); ++it) stack.push_back({it->get(), true});
    while (!stack.empty()) {
        const TItem item = stack.back();
        stack.pop_back();
        all.push_back(item.Entry);
        if (item.Visible) visible.push_back(item.Entry);
        const bool childrenVisible = item.Visible && item.Entry->Expanded;
        for (auto it = item.Entry->Replies.rbegin(); it != item.Entry->Replies.rend(); ++it)
            stack.push_back({it->get(), childrenVisible});
    }
}

// Checks every row notification against what Rows really did, as an item model relies on it.
class TRowMirror : public TThreadListObserver {
public:
    const TThreadList* List = nullptr;
    std::vector<TMessageClass*> Before;
    int First = 0, Last = -1, Open = 0;
    int Faults = 0;

    void BeginResetRows() override { Begin(0, -1); }
    void EndResetRows() override { --Open; }
    void BeginInsertRows(int first, int last) override { Begin(first, last); }
    void EndInsertRows() override {
        std::vector<TMessageClass*> expected = Before;
        if (First < 0 || First > static_cast<int>(expected.size()) ||
            Last >= static_cast<int>(List->Rows.size())) {
            ++Faults;
            --Open;
            return;
        }
        const auto at = expected.begin() + First;
        expected.insert(at, List->Rows.begin() + First,
                        List->Rows.begin() + std::min<size_t>(Last + 1, List->Rows.size()));
        Check(expected);
    }
    void BeginRemoveRows(int first, int last) override { Begin(first, last); }
    void EndRemoveRows() override {
        std::vector<TMessageClass*> expected = Before;
        if (First < 0 || Last >= static_cast<int>(expected.size())) {
            ++Faults;
            --Open;
            return;
        }
        expected.erase(expected.begin() + First, expected.begin() + Last + 1);
        Check(expected);
    }
    void RowsChanged(int first, int last) override {
        if (first < 0 || last >= static_cast<int>(List->Rows.size()) || first > last) ++Faults;
    }

private:
    void Begin(int first, int last) {
        if (Open++ != 0) ++Faults;  // nested notifications
        Before = List->Rows;
        First = first;
        Last = last;
        if (last >= 0 && (first < 0 || first > last)) ++Faults;
    }
    void Check(const std::vector<TMessageClass*>& expected) {
        --Open;
        if (expected != List->Rows) ++Faults;
    }
};

TListMessage RandomMessage(std::mt19937& rng, int id, int idRange) {
    TListMessage m;
    m.MsgId = "2:5020/1 " + std::to_string(id);
    // About a third are replies, to earlier and to later messages alike.
    if (rng() % 3 == 0) m.ReplyId = "2:5020/1 " + std::to_string(rng() % static_cast<unsigned>(idRange));
    m.Subject = "Subject " + std::to_string(rng() % 40);
    m.From = "From " + std::to_string(rng() % 15);
    m.To = "To " + std::to_string(rng() % 7);
    m.Date = 45000 + static_cast<double>(rng() % 100000) / 86400.0;
    m.Read = rng() % 2 == 0;
    return m;
}

TEST(RowsPropertyTest, RandomOperationsKeepRowsEqualToTheExpandedTree) {
    test::TSettingsGuard guard;
    Settings.BuildThreads = true;
    for (unsigned seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        TAreaInfo area;
        area.Kind = 2;
        TListBase base;
        constexpr int initial = 300;
        for (int i = 0; i < initial; ++i) base.Messages.push_back(RandomMessage(rng, i, initial));
        TRowMirror mirror;
        TThreadList list(&mirror);
        mirror.List = &list;
        list.CurrentArea = &area;
        list.Base = &base;
        ASSERT_TRUE(list.ReadAreaMessages().Listed);

        for (int step = 0; step < 1500; ++step) {
            const size_t rows = list.Rows.size();
            const int row = rows == 0 ? 0 : static_cast<int>(rng() % rows);
            TMessageClass* atRow = rows == 0 ? nullptr : list.Rows[static_cast<size_t>(row)];
            const int op = static_cast<int>(rng() % 6);
            if (op == 0 && atRow != nullptr) {
                list.ClickRow(row, atRow->Level * RowIndent + RowIndent / 2);
            } else if (op == 1 && atRow != nullptr) {
                list.ExpandThread(*atRow, row);
            } else if (op == 2 && atRow != nullptr) {
                list.CollapseThread(*atRow, row);
            } else if (op == 3) {
                const int selected = list.HeaderClicked(static_cast<int>(rng() % 5), atRow);
                if (atRow != nullptr) {
                    ASSERT_GE(selected, 0);
                    EXPECT_EQ(list.Rows[static_cast<size_t>(selected)], atRow);
                }
            } else if (op == 4) {
                std::vector<TMessageClass*> all, visible;
                Walk(*list.ThreadRoot, all, visible);
                TMessageClass* target = all[rng() % all.size()];
                const int revealed = list.Reveal(*target);
                ASSERT_GE(revealed, 0);
                EXPECT_EQ(list.Rows[static_cast<size_t>(revealed)], target);
            } else if (op == 5) {
                const int id = static_cast<int>(base.Messages.size());
                base.Messages.push_back(RandomMessage(rng, id, id));
                list.MessageAdded(area, id);
            }

            std::vector<TMessageClass*> all, visible;
            Walk(*list.ThreadRoot, all, visible);
            ASSERT_EQ(list.Rows, visible) << "after operation " << op << " at step " << step;
            // The row index follows every change: a shown entry is found at its row, a hidden one nowhere.
            const TMessageClass* probe = all[static_cast<size_t>(step) % all.size()];
            const auto shown = std::find(visible.begin(), visible.end(), probe);
            ASSERT_EQ(list.RowOf(probe),
                      shown == visible.end() ? -1 : static_cast<int>(shown - visible.begin()))
                << "after operation " << op << " at step " << step;
            ASSERT_EQ(mirror.Faults, 0) << "row notifications after operation " << op << " at step " << step;
            ASSERT_EQ(mirror.Open, 0);
            ASSERT_EQ(all.size(), base.Messages.size());
            for (const TMessageClass* entry : all) ASSERT_EQ(entry->Level, entry->Parent->Level + 1);
        }
    }
}

}  // namespace
}  // namespace pelmar
