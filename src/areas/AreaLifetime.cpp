#include "areas/AreaLifetime.h"

#include <memory>

#include "areas/ScanThread.h"
#include "areas/gizmo.h"
#include "core/Codepage.h"

namespace pelmar {

namespace {

std::unique_ptr<TAreaManager> manager;
std::unique_ptr<TScanThread> scanThread;
bool notesTaken = false;

}  // namespace

TAreaManager* AreaManager() {
    return manager.get();
}

TScanThread* ScanThread() {
    return scanThread.get();
}

void CreateAreaManager() {
    auto created = std::make_unique<TAreaManager>();
    created->LoadAreas();
    manager = std::move(created);
    notesTaken = false;
}

std::string TakeLoadNotes() {
    if (manager == nullptr || notesTaken) return {};
    notesTaken = true;
    if (manager->Notes().empty()) return {};
    std::string text = Utf8ToAnsi("При загрузке списка областей пришлось исправить:");
    for (const std::string& note : manager->Notes()) text += "\r\n" + note;
    return text;
}

void StartScanThread(std::function<void()> notify) {
    if (scanThread != nullptr) return;
    scanThread = std::make_unique<TScanThread>(std::move(notify));
    scanThread->Start();
}

void StopScanThread() {
    if (scanThread == nullptr) return;
    scanThread->Terminate();
    scanThread->WaitFor();
    scanThread.reset();
}

bool StoreAreasAndRelease() {
    StopScanThread();
    if (manager == nullptr) return true;
    const bool saved = manager->SaveAreas();
    manager.reset();
    return saved;
}

void BindAreaSteps(TStartup::TManagers& managers, std::function<void()> notify) {
    managers.CreateAreaManager = [] { CreateAreaManager(); };
    managers.StartScanThread = [notify = std::move(notify)] { StartScanThread(notify); };
    managers.StopScanThread = [] { StopScanThread(); };
    // A failed save has been reported by the registry store already.
    managers.StoreAreasAndRelease = [] { StoreAreasAndRelease(); };
}

}  // namespace pelmar
