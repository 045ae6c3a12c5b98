#pragma once
// A plain chooser of destination areas: every area of the tree as a check list, listed by its path
// name. Serves the editor until the area manager's own dialog is installed in its place.
#include <vector>

class QWidget;

namespace pelmar {
class TAreaInfo;
}

namespace pelmar::ui {

// Kept destinations stay in their order, newly ticked ones follow in tree order. False on cancel.
bool ChooseDestinationList(QWidget* parent, std::vector<TAreaInfo*>& destinations);

}  // namespace pelmar::ui
