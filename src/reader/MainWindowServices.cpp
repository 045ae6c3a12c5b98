#include "reader/MainWindowServices.h"

namespace pelmar {

namespace {

TMainWindowServices* installed = nullptr;

TMainWindowServices& NoWindow() {
    static TMainWindowServices nothing;
    return nothing;
}

}  // namespace

void InstallMainWindowServices(TMainWindowServices* services) {
    installed = services;
}

TMainWindowServices& MainWindowServices() {
    return installed != nullptr ? *installed : NoWindow();
}

}  // namespace pelmar
