#pragma once
// Connects the editor to the windows it needs but does not own: the area manager, its destination
// dialog, the nodelist look-ups and the view's editor requests.
#include <vector>

class QWidget;

namespace pelmar {
class TAreaInfo;
struct TEditorRequest;
}  // namespace pelmar

namespace pelmar::ui {

class TSendMessageForm;

// Installed once at start-up (the main window does it); calling it again is harmless.
void InstallEditorHooks();
// The destination dialog of the area manager; false on cancel or without areas.
bool ChooseAreasWithPostForm(QWidget* parent, std::vector<TAreaInfo*>& destinations);
// The same over the areas below `root`.
bool ChooseAreasIn(TAreaInfo& root, QWidget* parent, std::vector<TAreaInfo*>& destinations);
// Opens an editor in the request's mode (new letter, reply, forward, edit in place, read receipt)
// with everything the request carries; every way of opening an editor ends here.
TSendMessageForm* OpenRequestedEditor(QWidget* owner, const TEditorRequest& request);

}  // namespace pelmar::ui
