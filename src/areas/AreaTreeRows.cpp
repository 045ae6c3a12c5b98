#include "areas/AreaTreeRows.h"

#include "areas/gizmo.h"

namespace pelmar {

namespace {

int CountBelow(const TAreaInfo& entry, TAreaTreeKind kind) {
    return kind == TAreaTreeKind::Reading ? entry.ShownCount() : entry.ChildCount();
}

TAreaInfo* Below(const TAreaInfo& entry, TAreaTreeKind kind, int index) {
    return kind == TAreaTreeKind::Reading ? entry.Shown(index) : entry.Child(index);
}

bool HasRow(const TAreaInfo& entry, TAreaTreeKind kind) {
    return kind == TAreaTreeKind::Manager || entry.Zilo == ZiloOrdinary;
}

// What is below a row gets rows too, except below a linked group (its content is its file's).
bool OpensBelow(const TAreaInfo& entry) {
    return entry.Zilo != ZiloLinkedGroup;
}

}  // namespace

std::vector<TAreaTreeRow> AreaTreeRows(const TAreaInfo& from, TAreaTreeKind kind) {
    std::vector<TAreaTreeRow> rows;
    // Pre-order without recursion: the entries below one are pushed last to first.
    std::vector<TAreaTreeRow> stack;
    const auto push = [&](const TAreaInfo& entry, int row) {
        for (int i = CountBelow(entry, kind) - 1; i >= 0; --i) stack.push_back({Below(entry, kind, i), row});
    };
    push(from, -1);
    while (!stack.empty()) {
        const TAreaTreeRow item = stack.back();
        stack.pop_back();
        if (!HasRow(*item.Entry, kind)) continue;
        rows.push_back(item);
        if (OpensBelow(*item.Entry)) push(*item.Entry, static_cast<int>(rows.size()) - 1);
    }
    return rows;
}

}  // namespace pelmar
