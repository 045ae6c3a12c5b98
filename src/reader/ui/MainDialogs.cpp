#include "reader/ui/MainDialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QStatusBar>
#include <QTextDocument>
#include <QTimer>
#include <QTreeView>

#include "areas/AreaLifetime.h"
#include "areas/AreaTitles.h"
#include "areas/gizmo.h"
#include "core/Codepage.h"
#include "core/Settings.h"
#include "core/ui/MessageBox.h"
#include "core/ui/QtText.h"
#include "editor/Templates.h"
#include "editor/ui/AfterSendRunner.h"
#include "reader/Bookmarks.h"
#include "reader/Multiply.h"
#include "reader/ui/AreaTreeModel.h"
#include "reader/ui/BookMarkForm.h"
#include "reader/ui/CopyForm.h"
#include "reader/ui/DuploForm.h"
#include "reader/ui/HelpWindow.h"
#include "reader/ui/MainFrame.h"
#include "reader/ui/MessageViewPane.h"
#include "reader/ui/ReadInputGuard.h"
#include "reader/ui/ReadingController.h"
#include "reader/ui/SearchForm.h"
#include "reader/ui/WindowListForm.h"

namespace pelmar::ui {

namespace {

// The search's progress in the status bar, and its way out: input waits in the same guard as during
// a read, and Esc or a left click stops the search.
class TSearchInput : public TSearchObserver {
public:
    explicit TSearchInput(TMainFrame& frame) : frame_(frame) { input_.Begin(); }
    ~TSearchInput() override { input_.End(); }

    void SearchingArea(const TAreaInfo& area) override {
        frame_.SetStatusText(FromQt(QStringLiteral("Идет поиск... ")) + AreaTitle(area));
        frame_.StatusPanel(0)->clear();
    }
    void SearchProgress(int position, int count) override {
        if (count <= 0) return;
        const int percent = std::min(100, static_cast<int>(position * 100LL / count));
        frame_.StatusPanel(0)->setText(QString::number(percent) + QLatin1Char('%'));
    }
    bool SearchAborted() override { return input_.Poll(); }

private:
    TMainFrame& frame_;
    TReadInputGuard input_;
};

struct TWaitCursor {
    TWaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TWaitCursor() { QGuiApplication::restoreOverrideCursor(); }
};

}  // namespace

TMainDialogs::TMainDialogs(TMainFrame& frame) : QObject(&frame), frame_(frame) {
    // The bookmarks window comes back when it was open at the end of the last run.
    if (Settings.BMVisible)
        QTimer::singleShot(0, this, [this] {
            if (frame_.isVisible()) ShowBookMarks();
        });
}

const std::vector<TCommand>& TMainDialogs::Commands() {
    static const std::vector<TCommand> commands = {
        TCommand::Find,       TCommand::FindNext,         TCommand::AddBookmark, TCommand::Bookmarks,
        TCommand::Copy,       TCommand::WindowListDialog, TCommand::Multiply,    TCommand::HelpContents,
        TCommand::HelpManual, TCommand::HelpNovice};
    return commands;
}

bool TMainDialogs::Run(TCommand command) {
    switch (command) {
        case TCommand::Find:
            RunSearchDialog();
            return true;
        case TCommand::FindNext:
            if (Search.CanContinue()) SearchNext();
            return true;
        case TCommand::AddBookmark:
            AddBookmarks();
            return true;
        case TCommand::Bookmarks:
            ShowBookMarks();
            return true;
        case TCommand::Copy:
            RunCopyDialog();
            return true;
        case TCommand::WindowListDialog:
            RunWindowListDialog();
            return true;
        case TCommand::Multiply:
            RunMultiplyDialog();
            return true;
        case TCommand::HelpContents:
            OpenHelpTopic(HelpContents, &frame_);
            return true;
        case TCommand::HelpManual:
            OpenHelpTopic(HelpManual, &frame_);
            return true;
        case TCommand::HelpNovice:
            OpenHelpTopic(HelpNovice, &frame_);
            return true;
        default:
            return false;
    }
}

// ---- Search -------------------------------------------------------------------------------------

void TMainDialogs::RunSearchDialog() {
    TAreaManager* manager = AreaManager();
    if (manager == nullptr) return;
    if (TAreaInfo* current = frame_.List().CurrentArea) Search.Marked.insert(current->ID);
    TSearchForm form(manager->Root(), Search.Marked, &frame_);
    form.SetQuery(Search.SearchText, Search.SearchCaseSensitive, Search.SearchInText);
    if (form.exec() == QDialog::Accepted) {
        Search.SearchText = form.Text();
        Search.SearchCaseSensitive = form.CaseSensitive();
        Search.SearchInText = form.InText();
        if (Search.Start(manager->Root())) SearchNext();
    } else {
        Search.Reset();
    }
    frame_.UpdateCommandStates();
}

void TMainDialogs::SearchNext() {
    frame_.MessagePane().ResetHeaderColor();
    frame_.SetStatusText(FromQt(QStringLiteral("Идет поиск...")));
    TSearchResult result;
    {
        TWaitCursor wait;
        TSearchInput input(frame_);
        result = Search.Next(&input);
        frame_.StatusPanel(0)->clear();
    }
    frame_.UpdateCommandStates();
    if (result.Hit == TSearchHit::Aborted) {
        frame_.SetStatusText(FromQt(QStringLiteral("Поиск прерван")));
        return;
    }
    if (result.Hit == TSearchHit::None) {
        frame_.SetStatusText(FromQt(QStringLiteral("Не найдено")));
        return;
    }
    if (!OpenArea(*result.Area) || result.MsgId.empty() || !SelectMessage(result.MsgId)) return;
    if (result.Hit == TSearchHit::Header) {
        frame_.MessagePane().DarkenHeader();
    } else {
        QPlainTextEdit* text = frame_.MessagePane().TextView();
        text->moveCursor(QTextCursor::Start);
        text->find(ToQt(Search.SearchText), Search.SearchCaseSensitive ? QTextDocument::FindCaseSensitively
                                                                       : QTextDocument::FindFlags());
        text->setFocus();
    }
    frame_.SetStatusText(FromQt(QStringLiteral("Найдено!")));
}

bool TMainDialogs::OpenArea(TAreaInfo& area) {
    if (!frame_.SelectAreaNode(area)) return false;
    frame_.OpenSelectedArea();
    return frame_.List().CurrentArea == &area;
}

bool TMainDialogs::SelectMessage(const std::string& msgId) {
    TMessageClass* entry = frame_.List().MsgIdIndex.Find(msgId);
    if (entry == nullptr) return false;
    frame_.SelectListRow(frame_.List().Reveal(*entry));
    return true;
}

// ---- Bookmarks ----------------------------------------------------------------------------------

TBookMarkForm& TMainDialogs::BookMarks() {
    if (bookMarks_.isNull()) {
        bookMarks_ = new TBookMarkForm(
            &frame_, [this](const std::string& data) { return GotoBookmark(data); },
            [this] { AddBookmarks(); });
    }
    return *bookMarks_;
}

void TMainDialogs::ShowBookMarks() {
    TBookMarkForm& form = BookMarks();
    if (form.isMinimized()) form.showNormal();
    form.show();
    form.raise();
}

void TMainDialogs::AddBookmarks() {
    TAreaInfo* area = frame_.List().CurrentArea;
    if (area == nullptr) return;
    TBookmarks marks(Settings.BookMarkNames, Settings.BookMarkData);
    int refused = 0;
    int added = 0;
    for (const TMessageClass* entry : frame_.Selection()) {
        if (marks.Add(*area, entry->Subject, entry->MsgId))
            ++added;
        else
            ++refused;
    }
    if (added > 0) marks.Store();
    BookMarks().Reload();
    if (refused > 0)
        frame_.SetStatusText(FromQt(QStringLiteral("Письмо без MSGID нельзя добавить в закладки")));
}

TBookmarkGoto TMainDialogs::GotoBookmark(const std::string& data) {
    const TBookmarkTarget target = TBookmarks::Parse(data);
    TAreaInfo* area = TBookmarks::FindArea(target);
    if (area == nullptr || !frame_.AreaModel().IndexOf(area).isValid()) return TBookmarkGoto::Gone;
    if (frame_.List().CurrentArea != area) {
        // Reading the area selects no message by itself: the bookmark's message is selected next.
        const std::string kept = area->LastMSGID;
        area->LastMSGID = "a";
        OpenArea(*area);
        area->LastMSGID = kept;
    }
    // A base that did not open (locked, missing) or a read that was stopped says nothing about the
    // message: only a listed area without it means it is gone.
    const TThreadList& list = frame_.List();
    if (list.CurrentArea != area || list.Base == nullptr || !list.ThreadRoot)
        return TBookmarkGoto::Unavailable;
    return SelectMessage(target.MsgId) ? TBookmarkGoto::Found : TBookmarkGoto::Gone;
}

// ---- Window list, copy, multiply ----------------------------------------------------------------

void TMainDialogs::RunWindowListDialog() {
    TWindowListForm form(&frame_);
    if (form.exec() != QDialog::Accepted) return;
    if (QWidget* window = form.Chosen()) {
        if (window->isMinimized()) window->showNormal();
        window->show();
        window->raise();
        window->activateWindow();
    }
}

void TMainDialogs::RunCopyDialog() {
    TAreaManager* manager = AreaManager();
    if (manager == nullptr) return;
    TCopyForm form(manager->Root(), frame_.List().CurrentArea, &frame_);
    if (form.exec() != QDialog::Accepted) return;
    if (TAreaInfo* target = form.Target()) frame_.Reading().CopySelected(*target, form.Move());
}

void TMainDialogs::RunMultiplyDialog() {
    TAreaInfo* area = frame_.List().CurrentArea;
    TMessageBase* base = frame_.List().Base;
    if (area == nullptr || base == nullptr) return;
    const TShownMessage& shown = frame_.Reading().Shown();
    TDuploForm form(ToQt(shown.FromName), ToQt(shown.ToName), ToQt(shown.Subject),
                    Contacts != nullptr ? Contacts->Contacts() : std::vector<TContact>{}, &frame_);
    if (form.exec() != QDialog::Accepted) return;
    const TMultiplyOriginal original{shown.FromName, shown.OrigAddr, shown.Subject, shown.Text, shown.Attr};
    TMultiplyOutcome outcome;
    {
        TWaitCursor wait;
        outcome =
            MultiplyMessage(*area, *base, original, form.Chosen(), TemplateLines(ReadTemplate(tpl::Kludges)),
                            [this, area](int position) { frame_.MessageAdded(*area, position); });
    }
    frame_.UpdateAreaNode(*area);
    if (outcome.Written > 0) AfterSendRunner().Request();
    // One box when the run is over: the copies not written, then what the base said of those written.
    std::string text = OutcomeSummary(Utf8ToAnsi("Не все копии письма записаны:"), outcome.Results);
    for (const std::string& line : outcome.Warnings) text += (text.empty() ? "" : "\r\n") + line;
    if (!text.empty()) ShowError(text, &frame_);
}

}  // namespace pelmar::ui
