#include "editor/ui/DraftKeeper.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QTimer>
#include <cstdio>
#include <filesystem>

#include "areas/AreaLifetime.h"
#include "areas/gizmo.h"
#include "core/Settings.h"
#include "core/ui/MessageBox.h"
#include "editor/ui/SendMessageForm.h"
#include "msgbase/BaseFactory.h"
#include "platform/Codepage.h"
#include "reader/MainWindowServices.h"
#include "core/ui/SlotGuard.h"

namespace pelmar::ui {

namespace {

std::string DataFolder() {
    return Settings.DataFolder.empty() ? Settings.ProgramFolder : Settings.DataFolder;
}

// The folder that holds a JAM, Squish or Hudson base's files.
std::string BaseFilesFolder(const TAreaInfo& area) {
    if (area.Kind == BaseKindHudson) return area.Path.size() > 1 ? area.Path.substr(1) : ".";
    const std::string folder = std::filesystem::path(area.Path).parent_path().string();
    return folder.empty() ? "." : folder;
}

std::string SaveFailedText(const std::string& reason) {
    return Utf8ToAnsi("Не удалось сохранить непосланные письма: ") + reason;
}

std::vector<TDraft> OpenLetters() {
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
    return drafts;
}

// The letters of the last rescue file: the session's end and the signal that follows it write one.
std::string lastRescuedText;
std::string lastRescuedPath;

// The open letters in a rescue file; its path, or "" with the reason (CP1251).
std::string RescueOpenLetters(std::string* error) {
    const std::vector<TDraft> drafts = OpenLetters();
    const std::string text = RescueFileText(drafts);
    std::error_code ec;
    if (!lastRescuedPath.empty() && text == lastRescuedText && std::filesystem::exists(lastRescuedPath, ec))
        return lastRescuedPath;
    std::string path = WriteRescueFile(DataFolder(), drafts, error);
    if (path.empty()) {
        const std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
        if (!ec) path = WriteRescueFile(temp.string(), drafts);
    }
    if (path.empty()) return path;
    lastRescuedText = text;
    lastRescuedPath = path;
    std::fprintf(stderr, "pelmar: открытые письма записаны в файл %s\n", path.c_str());
    return path;
}

}  // namespace

TDraftStore DraftStoreFor(const TAreaInfo& root, const std::string& dataFolder) {
    std::vector<std::string> msgFolders, baseFolders;
    for (const TAreaInfo* e = &root; e != nullptr; e = e->NextInTree()) {
        if (e->Zilo != ZiloOrdinary || e->Kind == AreaKindFolder || e->Path.empty()) continue;
        if (e->Kind == BaseKindMsg)
            msgFolders.push_back(e->Path);
        else
            baseFolders.push_back(BaseFilesFolder(*e));
    }
    return TDraftStore(dataFolder, std::move(msgFolders), std::move(baseFolders));
}

TDraftStore CurrentDraftStore() {
    if (TAreaManager* manager = AreaManager()) return DraftStoreFor(manager->Root(), DataFolder());
    return TDraftStore(DataFolder(), {});
}

bool SaveDrafts(bool allowEmpty, std::string* error) {
    std::vector<TDraft> drafts = OpenLetters();
    const auto& editors = Editors();
    std::vector<TDraft*> pointers;
    for (auto& d : drafts) pointers.push_back(&d);
    TDraftStore store = CurrentDraftStore();
    std::string reason;
    if (!store.Save(pointers, allowEmpty, &reason)) {
        if (error != nullptr)
            *error = SaveFailedText(reason);
        else
            ShowError(SaveFailedText(reason));
        return false;
    }
    if (drafts.empty() && !allowEmpty) return true;
    for (size_t i = 0; i < editors.size(); ++i) editors[i]->DraftNumber = drafts[i].Number;
    return true;
}

bool KeepLettersForExit(TExitKind kind, QWidget* parent) {
    std::string error;
    try {
        if (SaveDrafts(false, &error)) return true;
    } catch (const std::exception& e) {
        error = SaveFailedText(e.what());
    } catch (...) {
        error = SaveFailedText(std::string());
    }
    std::fprintf(stderr, "pelmar: %s\n", AnsiToUtf8(error).c_str());
    if (kind == TExitKind::Asked &&
        AskYesNo(
            error + Utf8ToAnsi("\r\n\r\nОстаться в программе, чтобы письма не пропали?\r\n"
                               "«Нет» - выйти, записав открытые письма в текстовый файл в папке данных."),
            parent))
        return false;
    std::string why;
    const std::string path = RescueOpenLetters(&why);
    if (kind == TExitKind::Unattended) {
        // Nobody to ask and nowhere to write: the letters go where the session's log keeps them.
        if (path.empty())
            std::fprintf(stderr, "pelmar: открытые письма не удалось записать ни в один файл:\n%s",
                         RescueFileText(OpenLetters()).c_str());
        return true;
    }
    if (path.empty()) {
        ShowError(Utf8ToAnsi("Письма не удалось записать и в файл: ") + why +
                      Utf8ToAnsi("\r\nПрограмма не закрыта."),
                  parent);
        return false;
    }
    ShowInfo(Utf8ToAnsi("Открытые письма записаны в файл ") + Utf8ToAnsi(path), parent);
    return true;
}

TSendMessageForm* OpenDraft(const TDraft& draft, QWidget* owner) {
    auto* editor = new TSendMessageForm(owner);
    editor->Mode = TEditorMode::Draft;
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

std::vector<TSendMessageForm*> RestoreDrafts(QWidget* owner) {
    std::vector<TSendMessageForm*> editors;
    for (const TDraft& d : CurrentDraftStore().Load()) editors.push_back(OpenDraft(d, owner));
    return editors;
}

void DeleteDraft(int32_t number) {
    if (number == -1) return;
    CurrentDraftStore().Delete(number);
}

TDraftKeeper::TDraftKeeper(QObject* parent) : QObject(parent), timer_(new QTimer(this)) {
    GuardedConnect(timer_, &QTimer::timeout, this, &TDraftKeeper::AutoSave);
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        GuardedConnect(app, &QGuiApplication::commitDataRequest, this, &TDraftKeeper::CommitData,
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

void TDraftKeeper::AutoSave() {
    std::string error;
    try {
        if (SaveDrafts(true, &error)) {
            lastError_.clear();
            return;
        }
    } catch (const std::exception& e) {
        error = SaveFailedText(e.what());
    }
    if (error == lastError_) {
        MainWindowServices().SetStatusText(error);
        return;
    }
    // Noted before the box: the timer keeps running while it is open.
    lastError_ = error;
    ShowError(error);
}

// The session is ending: the editors are still open here, before anything closes them.
// Nobody is asked here: a letter the store cannot take goes to the rescue file.
void TDraftKeeper::CommitData(QSessionManager&) {
    try {
        KeepLettersForExit(TExitKind::Unattended);
    } catch (...) {
    }
}

}  // namespace pelmar::ui
