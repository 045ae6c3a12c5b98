#pragma once
// The area manager and the background scan as the program's start-up and shutdown use them.
//
// Start-up: CreateAreaManager() with the managers (after log-in, before the main window);
// StartScanThread(notify) once the main window exists. Shutdown, after the event loop has ended:
// StopScanThread() first, then (with the other stores) StoreAreasAndRelease().
#include <functional>
#include <string>

#include "areas/LiveMail.h"
#include "core/Startup.h"

namespace pelmar {

class TAreaManager;
class TScanThread;

// The area manager of the running program, or null outside CreateAreaManager..StoreAreasAndRelease.
TAreaManager* AreaManager();
// Creates the manager and loads the tree of the logged-in profile.
void CreateAreaManager();
// What loading the tree had to repair (renamed siblings, groups not refreshed, bad values) as one
// CP1251 text for the user: a heading and one line per repair. Empty when nothing was repaired, and
// on every call after the first since CreateAreaManager (the user is told once).
std::string TakeLoadNotes();
// What the scan tells its receiver after it counted areas (on the scan thread).
using TScanNotify = std::function<void(const TScanReport& report)>;
// Starts the scan at the lowest priority. `notify` runs on the scan thread after every walk that
// counted areas; the main window turns it into a queued call that redraws the counters.
void StartScanThread(TScanNotify notify);
// Asks the scan to end and waits for it; nothing when it is not running.
void StopScanThread();
// The running scan, or null.
TScanThread* ScanThread();
// Stores the tree and frees the manager with every area. False when the registry could not be saved
// (the store has reported it). Stops the scan first if it is still running, so no area is freed while
// it is counted.
bool StoreAreasAndRelease();

// Fills the area and scan steps of start-up's manager table with the functions above; `notify` as
// for StartScanThread.
void BindAreaSteps(TStartup::TManagers& managers, TScanNotify notify);

}  // namespace pelmar
