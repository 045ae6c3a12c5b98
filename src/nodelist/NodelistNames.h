#pragma once
// The names nodelist files go by, for choosing them in a file dialog.
#include <string>
#include <vector>

namespace pelmar {

// NODELIST.<day number>, <name>.NDL, and the point lists PNT*.* and POINTS*.*, each in upper, lower
// and capitalised spelling: file dialogs on this system may compare names with their case.
std::vector<std::string> NodelistFilePatterns();

// "Списки узлов (<patterns>)" (UTF-8), then every file: the file dialog's filter.
std::string NodelistDialogFilter();

}  // namespace pelmar
