#include "reader/ui/ReadingController.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QPrintDialog>
#include <QPrinter>
#include <algorithm>
#include <exception>

#include "areas/AreaLifetime.h"
#include "areas/AreaTitles.h"
#include "areas/gizmo.h"
#include "core/Codepage.h"
#include "core/Settings.h"
#include "core/ui/MessageBox.h"
#include "core/ui/QtText.h"
#include "core/ui/SlotGuard.h"
#include "editor/Templates.h"
#include "reader/MessageClass.h"
#include "reader/ThreadList.h"
#include "reader/ui/LinkOpener.h"
#include "reader/MessageDates.h"

namespace pelmar::ui {

namespace {

// Texts of the user interface, CP1251 like every text the program shows.
std::string A(const char* utf8) {
    return Utf8ToAnsi(utf8);
}

// The wait cursor for a scope.
class TWait {
public:
    explicit TWait(const TReadingServices& services) : services_(services) {
        if (services_.BeginWait) services_.BeginWait();
    }
    ~TWait() {
        if (services_.EndWait) services_.EndWait();
    }
    TWait(const TWait&) = delete;
    TWait& operator=(const TWait&) = delete;

private:
    const TReadingServices& services_;
};

// Input held back and the progress shown for a scope.
class TLongPass {
public:
    explicit TLongPass(const TReadingServices& services) : services_(services) {
        if (services_.BeginLong) services_.BeginLong();
    }
    ~TLongPass() {
        if (services_.EndLong) services_.EndLong();
    }
    TLongPass(const TLongPass&) = delete;
    TLongPass& operator=(const TLongPass&) = delete;

private:
    const TReadingServices& services_;
};

// A summary for the one-line status panel: the title, then its lines joined.
std::string StatusLine(std::string text) {
    const char* joint = " ";
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) {
        text.replace(at, 2, joint);
        joint = "; ";
    }
    return text;
}

}  // namespace

TReadingController::TReadingController(TThreadList& list, TMessageViewPane& pane, TReadingServices services,
                                       QWidget* window)
    : QObject(window), list_(list), pane_(pane), services_(std::move(services)), window_(window) {
    readMarker_.setSingleShot(true);
    readMarker_.setInterval(kReadDelayMs);
    GuardedConnect(&readMarker_, &QTimer::timeout, this, [this] { MarkReadDue(); });
    GuardedConnect(&pane_, &TMessageViewPane::NavigationClicked, this, [this](TNavigation which) {
        Navigate(static_cast<TNavigationCommand>(static_cast<int>(which)));
    });
    GuardedConnect(&pane_, &TMessageViewPane::LinkClicked, this, &TReadingController::LinkClicked);
}

TListedMessage TReadingController::Listed(const TMessageClass& entry) {
    return {entry.Position,
            {entry.MsgId, entry.FromName, entry.ToName, entry.Subject, entry.Date},
            entry.Deleted};
}

std::vector<TMessageClass*> TReadingController::SelectedEntries() const {
    std::vector<TMessageClass*> selection =
        services_.Selection ? services_.Selection() : std::vector<TMessageClass*>{};
    if (selection.size() > 1) return selection;
    if (list_.CurrentEntry != nullptr) return {list_.CurrentEntry};
    return {};
}

std::vector<TListedMessage> TReadingController::ListedOf(const std::vector<TMessageClass*>& entries) {
    std::vector<TListedMessage> items;
    items.reserve(entries.size());
    for (const TMessageClass* entry : entries) items.push_back(Listed(*entry));
    return items;
}

void TReadingController::MarkDeleted(const std::vector<TMessageClass*>& entries,
                                     const std::vector<TItemOutcome>& results) {
    for (size_t i = 0; i < results.size() && i < entries.size(); ++i) {
        if (results[i] != TItemResult::Done) continue;
        entries[i]->Deleted = true;
        if (services_.RepaintRow) services_.RepaintRow(list_.RowOf(entries[i]));
    }
}

void TReadingController::ForgetShown() {
    readMarker_.stop();
    shownEntry_ = nullptr;
    shown_ = {};
}

void TReadingController::ShowCurrentMessage() {
    Guarded([this] { ShowIt(); });
}

void TReadingController::ShowIt() {
    readMarker_.stop();
    pane_.ResetHeaderColor();
    if (services_.UpdateCommandStates) services_.UpdateCommandStates();
    const TMessageClass* entry = list_.CurrentEntry;
    shownEntry_ = nullptr;
    shown_ = {};
    if (entry == nullptr || list_.Base == nullptr) {
        pane_.Clear();
        return;
    }
    if (entry->Deleted) {
        pane_.ShowDeleted();
        return;
    }
    if (services_.StatusText) services_.StatusText(A("Чтение сообщения..."));
    TWait wait(services_);
    try {
        shown_ = pane_.ShowMessage(*list_.Base, entry->Position, Mode);
    } catch (...) {
        pane_.Clear();
        if (services_.StatusText) services_.StatusText("Ok");
        throw;
    }
    shownEntry_ = entry;
    if (services_.StatusText) services_.StatusText("Ok");
    if (services_.MessageShown) services_.MessageShown();
    // Marked only when the base still holds the listed message at the entry's position.
    const bool same = IsSameMessage(Listed(*entry).Identity, *list_.Base);
    if (!entry->Read && same) readMarker_.start();
    if (same && list_.CurrentArea != nullptr &&
        receipts_.ShouldOffer(shown_, !entry->Read, list_.CurrentArea->ID) && services_.OpenEditor) {
        services_.OpenEditor(ReadReceiptRequest(shown_, list_.CurrentArea, MessageDateTexts(shown_.Date)));
    }
}

void TReadingController::MarkReadDue() {
    TMessageClass* entry = list_.CurrentEntry;
    TMessageBase* base = list_.Base;
    TAreaInfo* area = list_.CurrentArea;
    if (entry == nullptr || base == nullptr || area == nullptr || entry != shownEntry_ || entry->Read) return;
    // A mark the base refuses leaves the entry unread; showing the message again tries once more.
    const TItemOutcome marked = MarkListedRead(*area, *base, Listed(*entry), entry->ToName);
    if (marked.Result != TItemResult::Done) {
        if (marked.Result != TItemResult::Changed && services_.StatusText)
            services_.StatusText(marked.Reason);
        return;
    }
    entry->Read = true;
    if (services_.UpdateAreaNode) services_.UpdateAreaNode(*area);
    if (services_.RepaintRow) services_.RepaintRow(list_.RowOf(entry));
}

void TReadingController::Navigate(TNavigationCommand command) {
    Guarded([&] {
        const int row = list_.RowOf(list_.CurrentEntry);
        if (row < 0) return;
        const std::optional<int> target = NavigateFrom(list_, command, row);
        if (!target) return;
        if (services_.ClearRowSelection) services_.ClearRowSelection();
        if (*target >= 0 && services_.SelectOnly) services_.SelectOnly(*target);
    });
}

void TReadingController::ApplySelectionMenu(TSelectionCommand command) {
    Guarded([&] {
        std::vector<bool> selected(list_.Rows.size(), false);
        if (services_.Selection) {
            for (const TMessageClass* entry : services_.Selection()) {
                const int row = list_.RowOf(entry);
                if (row >= 0) selected[static_cast<size_t>(row)] = true;
            }
        }
        if (services_.SetRowSelection)
            services_.SetRowSelection(SelectRows(list_, command, selected, Settings.FullName));
    });
}

void TReadingController::DeleteSelected() {
    Guarded([&] {
        if (list_.Base == nullptr || list_.CurrentArea == nullptr || list_.CurrentEntry == nullptr) return;
        const std::vector<TMessageClass*> entries = SelectedEntries();
        if (entries.size() > 1 && !skipDeleteConfirm_) {
            const std::string question =
                A("Вы действительно хотите удалить ") + std::to_string(entries.size()) + A(" письма(ем)?");
            if (!AskYesNo(question, window_)) return;
        }
        skipDeleteConfirm_ = false;
        std::vector<TItemOutcome> results;
        {
            TWait wait(services_);
            results = DeleteListed(*list_.CurrentArea, *list_.Base, ListedOf(entries));
        }
        MarkDeleted(entries, results);
        if (services_.UpdateAreaNode) services_.UpdateAreaNode(*list_.CurrentArea);
        ShowIt();
        const std::string summary = OutcomeSummary(A("Не все письма удалены:"), results);
        if (!summary.empty()) ShowError(summary, window_);
    });
}

void TReadingController::CopySelected(TAreaInfo& target, bool move) {
    Guarded([&] {
        if (list_.Base == nullptr || list_.CurrentEntry == nullptr) return;
        const std::vector<TMessageClass*> entries = SelectedEntries();
        const std::vector<TListedMessage> items = ListedOf(entries);
        TCopyOutcome outcome;
        {
            TWait wait(services_);
            outcome = CopyListed(*list_.Base, items, target);
        }
        if (services_.UpdateAreaNode) services_.UpdateAreaNode(target);
        // Messages the source no longer holds as listed are named after the source area.
        const std::string source =
            list_.CurrentArea != nullptr ? AreaLabel(*list_.CurrentArea) : std::string();
        for (TItemOutcome& result : outcome.Results)
            if (result.Area.empty()) result.Area = source;
        std::vector<TItemOutcome> deleted;
        if (move && list_.CurrentArea != nullptr) {
            // Only what really went is removed; a move never asks.
            std::vector<TMessageClass*> copied;
            for (size_t i = 0; i < outcome.Results.size() && i < entries.size(); ++i) {
                if (outcome.Results[i] == TItemResult::Done) copied.push_back(entries[i]);
            }
            if (!copied.empty()) {
                deleted = DeleteListed(*list_.CurrentArea, *list_.Base, ListedOf(copied));
                MarkDeleted(copied, deleted);
                if (services_.UpdateAreaNode) services_.UpdateAreaNode(*list_.CurrentArea);
                ShowIt();
            }
        }
        // One box when every lock is released: what was not copied, what stayed behind, and what
        // the target said of the messages it stored.
        std::string text =
            OutcomeSummary(move ? A("Не все письма удалось перенести; их оригиналы остались на месте:")
                                : A("Не все письма удалось скопировать:"),
                           outcome.Results);
        const std::string left =
            OutcomeSummary(A("Скопированные письма не удалены из исходной области:"), deleted);
        if (!left.empty()) text += (text.empty() ? "" : "\r\n") + left;
        for (const std::string& line : outcome.Warnings) text += (text.empty() ? "" : "\r\n") + line;
        if (!text.empty()) ShowError(text, window_);
    });
}

void TReadingController::MarkSelectedUnread() {
    Guarded([&] {
        TAreaInfo* area = list_.CurrentArea;
        if (list_.Base == nullptr || area == nullptr || list_.CurrentEntry == nullptr) return;
        // A message marked unread stays so while it is shown; it is marked read when shown again.
        readMarker_.stop();
        std::vector<TItemOutcome> outcomes;
        {
            TWait wait(services_);
            for (TMessageClass* entry : SelectedEntries()) {
                if (!entry->Read || entry->Deleted) continue;
                outcomes.push_back(MarkListedUnread(*area, *list_.Base, Listed(*entry), entry->ToName));
                if (outcomes.back().Result != TItemResult::Done) continue;
                entry->Read = false;
                if (services_.RepaintRow) services_.RepaintRow(list_.RowOf(entry));
            }
        }
        if (services_.UpdateAreaNode) services_.UpdateAreaNode(*area);
        const std::string summary = OutcomeSummary(A("Не помечено непрочитанным:"), outcomes);
        if (services_.StatusText) services_.StatusText(summary.empty() ? "Ok" : StatusLine(summary));
    });
}

void TReadingController::MarkAreaRead() {
    Guarded([&] {
        TAreaInfo* area = list_.CurrentArea;
        if (list_.Base == nullptr || area == nullptr || !list_.ThreadRoot) return;
        // Every unread entry of the tree, in list order; closed threads hide none of them.
        std::vector<TMessageClass*> entries;
        std::vector<TMarkAreaItem> items;
        std::vector<TMessageClass*> stack;
        for (auto it = list_.ThreadRoot->Replies.rbegin(); it != list_.ThreadRoot->Replies.rend(); ++it)
            stack.push_back(it->get());
        while (!stack.empty()) {
            TMessageClass* entry = stack.back();
            stack.pop_back();
            if (!entry->Read && !entry->Deleted) {
                entries.push_back(entry);
                items.push_back({Listed(*entry), entry->ToName, false});
            }
            for (auto it = entry->Replies.rbegin(); it != entry->Replies.rend(); ++it)
                stack.push_back(it->get());
        }
        const std::string label = AreaLabel(*area);
        if (items.empty()) {
            if (services_.StatusText) services_.StatusText(label + A(": непрочитанных писем нет"));
            return;
        }
        readMarker_.stop();
        std::vector<TItemOutcome> outcomes;
        {
            TLongPass pass(services_);
            outcomes = pelmar::MarkAreaRead(*area, *list_.Base, items, [this](size_t done, size_t total) {
                return done % 50 != 0 || !services_.LongProgress || services_.LongProgress(done, total);
            });
        }
        int marked = 0;
        for (size_t i = 0; i < outcomes.size(); ++i) {
            if (outcomes[i] != TItemResult::Done) continue;
            ++marked;
            entries[i]->Read = true;
            if (services_.RepaintRow) services_.RepaintRow(list_.RowOf(entries[i]));
        }
        if (services_.UpdateAreaNode) services_.UpdateAreaNode(*area);
        const std::string counted = std::to_string(marked) + A(" из ") + std::to_string(items.size());
        std::string text;
        if (marked == static_cast<int>(items.size())) {
            text = A("Область ") + label + A(" помечена прочитанной (писем: ") + std::to_string(marked) + ")";
        } else {
            text = (outcomes.size() < items.size() ? A("Прервано: помечено прочитанными ")
                                                   : A("Помечено прочитанными ")) +
                   counted;
            const std::string summary = OutcomeSummary(text + ":", outcomes);
            if (!summary.empty()) text = StatusLine(summary);
        }
        if (services_.StatusText) services_.StatusText(text);
    });
}

void TReadingController::SaveSelected() {
    Guarded([&] {
        if (list_.Base == nullptr || list_.CurrentEntry == nullptr) return;
        QFileDialog dialog(window_, QStringLiteral("Сохранить текст письма"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("txt"));
        const QStringList filters = {QStringLiteral("Текст письма с заголовком (*.txt)"),
                                     QStringLiteral("Текст письма (*.txt)"),
                                     QStringLiteral("Файл RTF (*.rtf)")};
        dialog.setNameFilters(filters);
        dialog.setFileMode(QFileDialog::AnyFile);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
        const int filter = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
        SaveSelectedTo(dialog.selectedFiles().first().toLocal8Bit().toStdString(),
                       static_cast<TSaveFormat>(std::clamp(filter, 1, 3)));
    });
}

void TReadingController::SaveSelectedTo(const std::string& path, TSaveFormat format) {
    Guarded([&] {
        if (list_.Base == nullptr || list_.CurrentEntry == nullptr || list_.CurrentArea == nullptr) return;
        std::vector<TItemOutcome> outcomes;
        {
            TWait wait(services_);
            outcomes = SaveListed(*list_.CurrentArea, *list_.Base, ListedOf(SelectedEntries()), format, path,
                                  Mode.FontMode, MessageDateTimeText);
        }
        const std::string text = OutcomeSummary(A("Сохранены не все письма:"), outcomes);
        if (!text.empty()) ShowError(text, window_);
        // The shared base now holds the last saved message: the pane's copy stays what is shown.
    });
}

void TReadingController::PrintShown() {
    Guarded([&] {
        if (shownEntry_ == nullptr) return;
        QPrinter printer;
        QPrintDialog dialog(&printer, window_);
        if (dialog.exec() != QDialog::Accepted) return;
        pane_.Print(printer, ToQt(PrintTitle(shown_)));
    });
}

void TReadingController::TakeOrigin() {
    Guarded([&] {
        if (shownEntry_ == nullptr) return;
        const std::optional<std::string> origin = TakeOriginLine(shown_.Text);
        if (!origin || !IsTemplateStoreOpen()) return;
        bool saveFailed = false;
        AddListLine(tpl::OriginList, *origin, &saveFailed);
        if (saveFailed) ShowError(A("Список шаблонов не удалось сохранить."), window_);
    });
}

void TReadingController::TakeTearline() {
    Guarded([&] {
        if (shownEntry_ == nullptr || !IsTemplateStoreOpen()) return;
        bool saveFailed = false;
        for (const std::string& line : TakeTearlineLines(shown_.Text)) {
            bool failed = false;
            AddListLine(tpl::TearlineList, line, &failed);
            saveFailed = saveFailed || failed;
        }
        if (saveFailed) ShowError(A("Список шаблонов не удалось сохранить."), window_);
    });
}

void TReadingController::LinkClicked(const QString& link) {
    Guarded([&] {
        TLinkHandlers handlers;
        handlers.WriteNetmail = [this](const QString& address) {
            if (!services_.OpenEditor) return;
            const TAreaManager* manager = AreaManager();
            services_.OpenEditor(
                NetmailToRequest(FromQt(address), list_.CurrentArea,
                                 manager != nullptr ? manager->NetmailAreaObject() : nullptr));
        };
        OpenLink(link, handlers, window_);
    });
}

}  // namespace pelmar::ui
