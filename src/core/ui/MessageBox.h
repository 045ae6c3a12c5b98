#pragma once
// The program's modal message boxes: always captioned "Пелмар", texts in CP1251.
#include <string>

class QWidget;

namespace pelmar::ui {

void ShowError(const std::string& text, QWidget* parent = nullptr);
void ShowInfo(const std::string& text, QWidget* parent = nullptr);
// Yes/No question with the question icon; true for Yes.
bool AskYesNo(const std::string& text, QWidget* parent = nullptr);

}  // namespace pelmar::ui
