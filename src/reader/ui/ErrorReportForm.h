#pragma once
// "Сообщение об ошибке": what a bug report needs to say about this system (program and Qt versions,
// the operating system, the profile's own address), to copy or to send as a netmail letter.
#include <QDialog>
#include <functional>

class QPlainTextEdit;
class QPushButton;

namespace pelmar::ui {

class TErrorReportForm : public QDialog {
    Q_OBJECT

public:
    explicit TErrorReportForm(QWidget* parent = nullptr);

    // The report's text as it is shown.
    static QString SystemReport();

    // Opens an editor for a netmail letter with `body` in it; without it the letter button is disabled.
    void SetStartLetter(std::function<void(const QString& body)> startLetter);

private:
    QPlainTextEdit* ReportText = nullptr;
    QPushButton* CopyButton = nullptr;
    QPushButton* LetterButton = nullptr;
    QPushButton* CloseButton = nullptr;

public:
    void CopyButtonClick();
    void LetterButtonClick();

private:
    std::function<void(const QString&)> startLetter_;
};

}  // namespace pelmar::ui
