#include "reader/MessageClass.h"

#include <cmath>
#include <cstdio>

namespace pelmar {

TMessageClass::~TMessageClass() {
    // Flatten instead of recursing: each entry is freed with an empty reply list.
    std::vector<std::unique_ptr<TMessageClass>> doomed = std::move(Replies);
    while (!doomed.empty()) {
        std::unique_ptr<TMessageClass> entry = std::move(doomed.back());
        doomed.pop_back();
        for (auto& reply : entry->Replies) doomed.push_back(std::move(reply));
        entry->Replies.clear();
    }
}

std::string TMessageClass::SortDate() const {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    DecodeDateTime(Date, year, month, day, hour, minute, second);
    char text[40];
    std::snprintf(text, sizeof text, "%04d.%02d.%02d %02d:%02d:%02d", year, month, day, hour, minute, second);
    return text;
}

int64_t TMessageClass::SortKey() const {
    // The same fields SortDate prints (whole days, then the time of day), as one number.
    double value = Date;
    if (!std::isfinite(value) || std::fabs(value) > 3.0e6) value = 0;
    int64_t days = static_cast<int64_t>(std::trunc(value));
    int64_t seconds = std::llround(std::fabs(value - static_cast<double>(days)) * 86400.0);
    if (seconds >= 86400) {
        seconds -= 86400;
        ++days;
    }
    return days * 86400 + seconds;
}

TMessageClass& TMessageClass::AddReply() {
    auto entry = std::make_unique<TMessageClass>();
    entry->Level = Level + 1;
    entry->Parent = this;
    Replies.push_back(std::move(entry));
    return *Replies.back();
}

bool TMessageClass::Adopt(TMessageClass& child) {
    if (&child == this || IsDescendantOf(child)) return false;
    std::unique_ptr<TMessageClass> owned;
    if (child.Parent != nullptr) owned = child.Parent->Release(child);
    if (!owned) return false;  // only entries that belong to a tree can move
    owned->Parent = this;
    owned->Level = Level + 1;
    Replies.push_back(std::move(owned));
    child.RelevelSubtree();
    return true;
}

std::unique_ptr<TMessageClass> TMessageClass::Release(TMessageClass& child) {
    for (auto it = Replies.begin(); it != Replies.end(); ++it) {
        if (it->get() != &child) continue;
        std::unique_ptr<TMessageClass> owned = std::move(*it);
        Replies.erase(it);
        owned->Parent = nullptr;
        return owned;
    }
    return nullptr;
}

bool TMessageClass::IsDescendantOf(const TMessageClass& ancestor) const {
    for (const TMessageClass* up = Parent; up != nullptr; up = up->Parent) {
        if (up == &ancestor) return true;
    }
    return false;
}

bool TMessageClass::HasUnreadBelow() const {
    std::vector<const TMessageClass*> stack{this};
    while (!stack.empty()) {
        const TMessageClass* entry = stack.back();
        stack.pop_back();
        for (const auto& reply : entry->Replies) {
            if (!reply->Read) return true;
            if (reply->HasReplies()) stack.push_back(reply.get());
        }
    }
    return false;
}

void TMessageClass::ExpandAll() {
    std::vector<TMessageClass*> stack{this};
    while (!stack.empty()) {
        TMessageClass* entry = stack.back();
        stack.pop_back();
        if (!entry->HasReplies()) continue;
        entry->Expanded = true;
        for (auto& reply : entry->Replies) stack.push_back(reply.get());
    }
}

void TMessageClass::RelevelSubtree() {
    std::vector<TMessageClass*> stack{this};
    while (!stack.empty()) {
        TMessageClass* entry = stack.back();
        stack.pop_back();
        for (auto& reply : entry->Replies) {
            reply->Level = entry->Level + 1;
            if (reply->HasReplies()) stack.push_back(reply.get());
        }
    }
}

size_t TMessageClass::SubtreeSize() const {
    size_t count = 0;
    std::vector<const TMessageClass*> stack{this};
    while (!stack.empty()) {
        const TMessageClass* entry = stack.back();
        stack.pop_back();
        count += entry->Replies.size();
        for (const auto& reply : entry->Replies) {
            if (reply->HasReplies()) stack.push_back(reply.get());
        }
    }
    return count;
}

int TMessageClass::IndexInParent() const {
    if (Parent == nullptr) return -1;
    for (size_t i = 0; i < Parent->Replies.size(); ++i) {
        if (Parent->Replies[i].get() == this) return static_cast<int>(i);
    }
    return -1;
}

void FillEntry(TMessageClass& entry, const TMessageBase& base) {
    entry.FromName = base.FromName;
    entry.ToName = base.ToName;
    entry.Subject = base.Subject;
    entry.Position = base.Current;
    entry.MsgId = base.MsgId;
    entry.Read = base.Read;
    entry.Date = base.Date;
    entry.ReplyTo = base.ReplyId;
}

}  // namespace pelmar
