#pragma once
// The plug-in manager as the program's start-up and shutdown use it: created empty with the other
// managers, plug-ins discovered and loaded before the main window exists, told when start-up is
// complete, states stored and every plug-in unloaded at shutdown.
#include "core/Startup.h"

namespace pelmar {

void BindPluginSteps(TStartup::TManagers& managers);

}  // namespace pelmar
