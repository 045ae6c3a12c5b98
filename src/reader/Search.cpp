#include "reader/Search.h"

#include <vector>

#include "areas/AreaTreeRows.h"
#include "areas/gizmo.h"
#include "msgbase/MessageBase.h"
#include "platform/Codepage.h"

namespace pelmar {

namespace {

bool Contains(const std::string& haystack, const std::string& needle) {
    return haystack.find(needle) != std::string::npos;
}

}  // namespace

std::string TSearch::Pattern() const {
    return SearchCaseSensitive ? SearchText : AnsiUpperCase(SearchText);
}

void TSearch::SetArea(TAreaInfo* area) {
    SearchArea = area;
    searchAreaId_ = area != nullptr ? area->ID : std::string();
}

bool TSearch::CanContinue() {
    if (SearchArea != nullptr && AreaRegistry().FindAreaById(searchAreaId_) != SearchArea) Reset();
    return SearchArea != nullptr;
}

bool TSearch::Start(TAreaInfo& root) {
    Marked.erase(root.ID);
    SearchFrom = 0;
    SetArea(NextMarked(root));
    return SearchArea != nullptr;
}

TAreaInfo* TSearch::NextMarked(const TAreaInfo& area) const {
    const TAreaInfo* root = &area;
    while (root->Parent() != nullptr) root = root->Parent();
    const std::vector<TAreaTreeRow> rows = AreaTreeRows(*root, TAreaTreeKind::Reading);
    size_t next = 0;
    if (&area != root) {
        while (next < rows.size() && rows[next].Entry != &area) ++next;
        if (next == rows.size()) return nullptr;
        ++next;
    }
    for (; next < rows.size(); ++next)
        if (Marked.count(rows[next].Entry->ID) != 0) return rows[next].Entry;
    return nullptr;
}

bool TSearch::PositionAtOrAfter(TMessageBase& base, int32_t position) {
    // Walking is the one way every format skips deleted messages; a seek to a deleted position
    // would end the search there.
    if (!base.First()) return false;
    while (base.Current < position)
        if (!base.Next()) return false;
    return true;
}

TSearchHit TSearch::Match(TMessageBase& base, const std::string& pattern) const {
    if (SearchInText)
        base.ReadMessage(base.Current);
    else
        base.ReadHeader();
    const auto fold = [this](const std::string& text) {
        return SearchCaseSensitive ? text : AnsiUpperCase(text);
    };
    if (Contains(fold(base.FromName), pattern) || Contains(fold(base.ToName), pattern) ||
        Contains(fold(base.Subject), pattern))
        return TSearchHit::Header;
    if (SearchInText && Contains(fold(base.Text), pattern)) return TSearchHit::Text;
    return TSearchHit::None;
}

TSearchResult TSearch::SearchArea_(TAreaInfo& area, const std::string& pattern, TSearchObserver* observer) {
    TSearchResult result;
    if (observer != nullptr) observer->SearchingArea(area);
    TOpenedBase base(area, TBaseMode::Private);
    if (!base) return result;
    const int count = base->Count();
    int step = 0;
    for (bool more = PositionAtOrAfter(*base.get(), SearchFrom); more; more = base->Next()) {
        if (observer != nullptr) {
            if ((++step & 63) == 0) observer->SearchProgress(base->Current, count);
            if (observer->SearchAborted()) {
                SearchFrom = base->Current;
                result.Hit = TSearchHit::Aborted;
                return result;
            }
        }
        TSearchHit hit = TSearchHit::None;
        try {
            hit = Match(*base.get(), pattern);
        } catch (const std::exception&) {
            // A damaged message is not a match; the rest of the area still is searched.
            continue;
        }
        if (hit == TSearchHit::None) continue;
        result.Hit = hit;
        result.Area = &area;
        result.Position = base->Current;
        result.MsgId = base->MsgId;
        SearchFrom = base->Current + 1;
        return result;
    }
    return result;
}

TSearchResult TSearch::Next(TSearchObserver* observer) {
    const std::string pattern = Pattern();
    if (!CanContinue()) return TSearchResult{};
    while (SearchArea != nullptr) {
        TAreaInfo& area = *SearchArea;
        TSearchResult result = SearchArea_(area, pattern, observer);
        if (result.Hit == TSearchHit::Aborted) return result;
        Marked.erase(area.ID);
        if (result.Hit != TSearchHit::None) return result;
        SearchFrom = 0;
        SetArea(NextMarked(area));
    }
    return TSearchResult{};
}

}  // namespace pelmar
