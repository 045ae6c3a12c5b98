#pragma once
// The reading side of the main window: showing the selected message in the pane, marking it read,
// navigation, the selection menu, and the commands on the shown or selected messages (delete, copy
// and move, save, print, the template lists, copy and select-all in the text).
//
// The window owns it and hands it the list and a few services; every entry point here is a slot
// boundary: engine failures become the error box and never escape into Qt.
#include <QObject>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "reader/MessageTransfer.h"
#include "reader/Navigation.h"
#include "reader/ReadingCommands.h"
#include "reader/ui/MessageViewPane.h"

class QListView;

namespace pelmar {
class TThreadList;
class TMessageClass;
class TAreaInfo;
}  // namespace pelmar

namespace pelmar::ui {

class TMessageListModel;

// What the controller needs of the window.
struct TReadingServices {
    std::function<std::vector<TMessageClass*>()> Selection;  // selected entries in row order
    std::function<void(int row)> SelectOnly;                 // the row becomes the only selected one, in view
    std::function<void()> ClearRowSelection;
    std::function<void(const std::vector<bool>&)> SetRowSelection;  // one change for the whole list
    std::function<void()> UpdateCommandStates;
    std::function<void(TAreaInfo&)> UpdateAreaNode;
    std::function<void(int row)> RepaintRow;
    std::function<void(const std::string&)> StatusText;  // panel 2
    std::function<void()> MessageShown;                  // a message was read and shown
    std::function<void()> BeginWait;
    std::function<void()> EndWait;
    // A long pass over the listed messages: input held back and the progress panel shown from
    // BeginLong to EndLong; LongProgress shows where it is and is false once the user asked to stop.
    std::function<void()> BeginLong;
    std::function<bool(size_t done, size_t total)> LongProgress;
    std::function<void()> EndLong;
    // The editor; unset until it exists (the commands that open it stay disabled meanwhile).
    std::function<void(const TEditorRequest&)> OpenEditor;
};

class TReadingController : public QObject {
    Q_OBJECT

public:
    TReadingController(TThreadList& list, TMessageViewPane& pane, TReadingServices services, QWidget* window);

    TViewMode Mode;
    // Interval of the read marker.
    static constexpr int kReadDelayMs = 500;
    QTimer& ReadMarker() { return readMarker_; }

    // ---- Entry points (each catches what the engine throws) ----
    void ShowCurrentMessage();
    void Navigate(TNavigationCommand command);
    void ApplySelectionMenu(TSelectionCommand command);
    void DeleteSelected();
    // Copy (or move) the selected messages into `target` (the copy dialog's choice, until it
    // exists the caller names the area).
    void CopySelected(TAreaInfo& target, bool move);
    void SaveSelected();
    // Through the given file name and filter, without the dialog (also what the dialog ends in).
    void SaveSelectedTo(const std::string& path, TSaveFormat format);
    void PrintShown();
    // The selected messages (the shown one when at most one is selected) marked unread again.
    void MarkSelectedUnread();
    // Every unread message of the listed area, replies in closed threads included, marked read.
    void MarkAreaRead();
    void TakeOrigin();
    void TakeTearline();
    void LinkClicked(const QString& link);

    // The message as last shown (a copy, read again for every command).
    const TShownMessage& Shown() const { return shown_; }
    // The same while a message is shown, else null.
    const TShownMessage* ShownSnapshot() const { return shownEntry_ != nullptr ? &shown_ : nullptr; }
    // The pane was cleared (another area is listed): nothing is shown any more.
    void ForgetShown();

private:
    void MarkReadDue();
    // The selected entries when several are, else the shown one.
    std::vector<TMessageClass*> SelectedEntries() const;
    static std::vector<TListedMessage> ListedOf(const std::vector<TMessageClass*>& entries);
    static TListedMessage Listed(const TMessageClass& entry);
    void MarkDeleted(const std::vector<TMessageClass*>& entries, const std::vector<TItemOutcome>& results);
    void ShowIt();

    TThreadList& list_;
    TMessageViewPane& pane_;
    TReadingServices services_;
    QWidget* window_;
    QTimer readMarker_;
    TReceiptLog receipts_;
    TShownMessage shown_;
    const TMessageClass* shownEntry_ = nullptr;
    bool skipDeleteConfirm_ = false;
};

}  // namespace pelmar::ui
