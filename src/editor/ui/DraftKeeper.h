#pragma once
// The draft store as the running program uses it: every open editor saved periodically, on the
// save button, at exit and at desktop session end; reopened at the next start.
#include <QObject>
#include <cstdint>
#include <string>
#include <vector>

#include "reader/DraftStore.h"

class QSessionManager;
class QTimer;
class QWidget;

namespace pelmar {
class TAreaInfo;
}

namespace pelmar::ui {

class TSendMessageForm;

// The store of the data folder, refusing the folders of the areas under `root`.
TDraftStore DraftStoreFor(const TAreaInfo& root, const std::string& dataFolder);
// The same for the running program's tree and "DataFolder".
TDraftStore CurrentDraftStore();
// Saves the open editors. `allowEmpty` only where the editor list is known to be complete (the
// user's save button, the timer): paths that may run after the editors closed pass false. A failure
// is shown in a message box, or only handed back through `error` (CP1251) when that is given.
bool SaveDrafts(bool allowEmpty, std::string* error = nullptr);
// How the program is being ended: by the user (window, menu, Ctrl+Q), who can be asked, or by a
// signal or the desktop session's end, with nobody to ask.
enum class TExitKind { Asked, Unattended };
// Stores the open letters before the program ends; true when it may end. When the draft store
// cannot take them, an asked exit lets the user stay (false); an unattended one, or a user who leaves,
// puts them into a rescue file in the data folder (the temporary folder when that fails too) and
// prints its path on stderr.
bool KeepLettersForExit(TExitKind kind, QWidget* parent = nullptr);
// Opens one editor per stored draft, owned by `owner`; each keeps its draft's number. Gives the
// editors opened.
std::vector<TSendMessageForm*> RestoreDrafts(QWidget* owner);
void DeleteDraft(int32_t number);
// An editor from a stored draft, filled and shown.
TSendMessageForm* OpenDraft(const TDraft& draft, QWidget* owner);

class TDraftKeeper : public QObject {
    Q_OBJECT

public:
    explicit TDraftKeeper(QObject* parent = nullptr);
    // Timer on/off and interval from "AutoSave"/"SaveTime", the interval clamped to 1..1440 minutes.
    void ApplyAutoSaveSettings();
    int IntervalMs() const;
    bool TimerActive() const;
    // One timer round: saves the editors. A failure is shown once in a box; while the same failure
    // repeats, the following rounds only note it in the main window's status bar.
    void AutoSave();

private:
    void CommitData(QSessionManager& manager);
    QTimer* timer_ = nullptr;
    std::string lastError_;
};

}  // namespace pelmar::ui
