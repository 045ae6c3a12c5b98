#pragma once
// The toolkit's own texts (standard buttons, file and print dialogs) in Russian, like the rest of the
// program, whatever the desktop's language.
class QCoreApplication;

namespace pelmar::ui {

// Loads the toolkit's Russian translation when it is installed; false when it is not (the standard
// texts then stay English).
bool InstallToolkitTranslations(QCoreApplication& app);

}  // namespace pelmar::ui
