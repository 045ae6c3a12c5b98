#pragma once
// The address book and the nodelist as start-up creates and shutdown stores and releases them.
#include <functional>
#include <string>

#include "core/Startup.h"

namespace pelmar {

// The profile's data folder with a trailing '/'.
std::string DataFolderPath();

// Sets the address book and nodelist steps of start-up. `report` shows a problem to the user (a
// damaged address book at load, a failed save at exit); the steps go on after it.
void BindNodelistSteps(TStartup::TManagers& managers, std::function<void(const std::string&)> report);

}  // namespace pelmar
