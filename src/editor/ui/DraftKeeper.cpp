#include "editor/ui/DraftKeeper.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QTimer>

#include "areas/AreaLifetime.h"
#include "areas/gizmo.h"
#include "core/Settings.h"
#include "core/ui/MessageBox.h"
#include "editor/ui/SendMessageForm.h"

namespace pelmar::ui {

TDraftStore CurrentDraftStore() {
    std::vector<std::string> folders;
    if (TAreaManager* manager = AreaManager()) {
        for (const TAreaInfo* e = &manager->Root(); e != nullptr; e = e->NextInTree())
            if (e->Kind == 1 && !e->Path.empty()) folders.push_back(e->Path);
    }
    return TDraftStore(Settings.DataFolder.empty() ? Settings.ProgramFolder : Settings.DataFolder,
                       std::move(folders));
}

bool SaveDrafts(bool allowEmpty) {
    std::vector<TDraft> drafts;
    const auto& editors = Editors();
    drafts.reserve(editors.size());
    for (TSendMessageForm* e : editors) {
        TDraft d;
        d.FromName = e->FromName();
        d.OrigAddr = e->SelectedAka();
        d.DestAddr = e->DestAddressShown() ? e->DestAddress() : std::string();
        d.ToName = e->ToName();
        d.Subject = e->Subject();
        d.Attributes = e->Attributes;
        for (TAreaInfo* a : e->Destinations) d.AreaIds.push_back(a->ID);
        d.Body = e->BodyText();
        drafts.push_back(std::move(d));
    }
    std::vector<TDraft*> pointers;
    for (auto& d : drafts) pointers.push_back(&d);
    TDraftStore store = CurrentDraftStore();
    std::string error;
    if (!store.Save(pointers, allowEmpty, &error)) {
        if (!error.empty()) ShowError(error);
        return false;
    }
    if (drafts.empty() && !allowEmpty) return true;
    for (size_t i = 0; i < editors.size(); ++i) editors[i]->DraftNumber = drafts[i].Number;
    return true;
}

TSendMessageForm* OpenDraft(const TDraft& draft, QWidget* owner) {
    auto* editor = new TSendMessageForm(owner);
    editor->IsDraft = true;
    editor->SetFromName(draft.FromName);
    for (const auto& aka : Settings.SelfAKA) editor->SelectAka(aka);
    editor->SelectAka(draft.OrigAddr);
    editor->SetDestAddress(draft.DestAddr);
    editor->SetToName(draft.ToName);
    editor->SetSubject(draft.Subject);
    editor->Attributes = draft.Attributes;
    editor->EditContext.Body = draft.Body.empty() ? std::string(" ") : draft.Body;
    // Words naming no live area are skipped.
    for (const auto& id : draft.AreaIds)
        if (TAreaInfo* a = AreaRegistry().FindAreaById(id)) editor->Destinations.push_back(a);
    // Its own draft goes when it is sent or closed, even before the next save.
    editor->DraftNumber = draft.Number;
    editor->ShowEditor();
    return editor;
}

void RestoreDrafts(QWidget* owner) {
    for (const TDraft& d : CurrentDraftStore().Load()) OpenDraft(d, owner);
}

void DeleteDraft(int32_t number) {
    if (number == -1) return;
    CurrentDraftStore().Delete(number);
}

TDraftKeeper::TDraftKeeper(QObject* parent) : QObject(parent), timer_(new QTimer(this)) {
    connect(timer_, &QTimer::timeout, this, [] {
        try {
            SaveDrafts(true);
        } catch (const std::exception& e) {
            ShowError(e.what());
        }
    });
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        connect(app, &QGuiApplication::commitDataRequest, this, &TDraftKeeper::CommitData,
                Qt::DirectConnection);
    ApplyAutoSaveSettings();
}

void TDraftKeeper::ApplyAutoSaveSettings() {
    timer_->setInterval(ClampSaveMinutes(Settings.SaveTime) * 60000);
    if (Settings.AutoSave)
        timer_->start();
    else
        timer_->stop();
}

int TDraftKeeper::IntervalMs() const {
    return timer_->interval();
}

bool TDraftKeeper::TimerActive() const {
    return timer_->isActive();
}

// The session is ending: the editors are still open here, before anything closes them.
void TDraftKeeper::CommitData(QSessionManager&) {
    try {
        SaveDrafts(false);
    } catch (...) {
    }
}

}  // namespace pelmar::ui
