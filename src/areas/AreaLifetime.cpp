#include "areas/AreaLifetime.h"

#include <memory>

#include "areas/ScanThread.h"
#include "areas/gizmo.h"
#include "core/Codepage.h"

namespace pelmar {

namespace {

// The manager and the scan outlive main when the process ends through exit() (the display
// connection may end it that way). Constructing the area registry first makes it outlive them both,
// and the scan, declared last, stops before the manager frees the areas it walks.
struct TAreaLifetime {
    std::unique_ptr<TAreaManager> Manager;
    std::unique_ptr<TScanThread> Scan;
};

TAreaLifetime& Lifetime() {
    AreaRegistry();
    static TAreaLifetime lifetime;
    return lifetime;
}

bool notesTaken = false;

}  // namespace

TAreaManager* AreaManager() {
    return Lifetime().Manager.get();
}

TScanThread* ScanThread() {
    return Lifetime().Scan.get();
}

void CreateAreaManager() {
    auto created = std::make_unique<TAreaManager>();
    created->LoadAreas();
    Lifetime().Manager = std::move(created);
    notesTaken = false;
}

std::string TakeLoadNotes() {
    if (Lifetime().Manager == nullptr || notesTaken) return {};
    notesTaken = true;
    if (Lifetime().Manager->Notes().empty()) return {};
    std::string text = Utf8ToAnsi("При загрузке списка областей пришлось исправить:");
    for (const std::string& note : Lifetime().Manager->Notes()) text += "\r\n" + note;
    return text;
}

void StartScanThread(TScanNotify notify) {
    if (Lifetime().Scan != nullptr) return;
    Lifetime().Scan = std::make_unique<TScanThread>(std::move(notify));
    Lifetime().Scan->Start();
}

void StopScanThread() {
    if (Lifetime().Scan == nullptr) return;
    Lifetime().Scan->Terminate();
    Lifetime().Scan->WaitFor();
    Lifetime().Scan.reset();
}

bool StoreAreasAndRelease() {
    StopScanThread();
    if (Lifetime().Manager == nullptr) return true;
    const bool saved = Lifetime().Manager->SaveAreas();
    Lifetime().Manager.reset();
    return saved;
}

void BindAreaSteps(TStartup::TManagers& managers, TScanNotify notify) {
    managers.CreateAreaManager = [] { CreateAreaManager(); };
    managers.StartScanThread = [notify = std::move(notify)] { StartScanThread(notify); };
    managers.StopScanThread = [] { StopScanThread(); };
    // A failed save has been reported by the registry store already.
    managers.StoreAreasAndRelease = [] { StoreAreasAndRelease(); };
}

}  // namespace pelmar
