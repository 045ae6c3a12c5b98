#pragma once
// The draft store as the running program uses it: every open editor saved periodically, on the
// save button, at exit and at desktop session end; reopened at the next start.
#include <QObject>
#include <cstdint>

#include "reader/DraftStore.h"

class QSessionManager;
class QTimer;
class QWidget;

namespace pelmar::ui {

class TSendMessageForm;

// The store of the data folder, refusing the folders of the *.MSG areas.
TDraftStore CurrentDraftStore();
// Saves the open editors. `allowEmpty` only where the editor list is known to be complete (the
// user's save button, the timer): paths that may run after the editors closed pass false.
bool SaveDrafts(bool allowEmpty);
// Opens one editor per stored draft, owned by `owner`; each keeps its draft's number.
void RestoreDrafts(QWidget* owner);
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

private:
    void CommitData(QSessionManager& manager);
    QTimer* timer_ = nullptr;
};

}  // namespace pelmar::ui
