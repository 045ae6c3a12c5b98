#pragma once
// The lower right pane of the main window: the header panel with the six navigation buttons, and
// the message text.
#include <QLabel>
#include <QPlainTextEdit>
#include <QWidget>
#include <array>
#include <string>

#include "reader/ReadingCommands.h"

class QToolButton;
class QPrinter;

namespace pelmar {
class TMessageBase;
}

namespace pelmar::ui {

// A value of the header panel: one line, no accelerators; the full text is the hint only when it
// does not fit.
class THintLabel : public QLabel {
    Q_OBJECT
public:
    explicit THintLabel(QWidget* parent = nullptr);
    void SetFullText(const QString& text);
    QString FullText() const { return full_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void UpdateHint();
    QString full_;
};

// The message text: read-only, links under a hand cursor, a click on one reported. A plain-text
// edit lays out only what it shows, so a megabyte-long message opens at once.
class TMessageText : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TMessageText(QWidget* parent = nullptr);

signals:
    void LinkClicked(const QString& link);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString pressedAnchor_;
};

enum class TNavigation { PrevInThread, PrevUnread, Prev, NextInThread, NextUnread, Next };

// How the text is shown: FontMode 2 proportional or 0 monospace; pseudographics reads the stored
// bytes unconverted and shows them in the DOS face.
struct TViewMode {
    int FontMode = 2;
    bool PseudoGraphics = false;
};

class TMessageViewPane : public QWidget {
    Q_OBJECT

public:
    explicit TMessageViewPane(QWidget* parent = nullptr);

    TMessageText* TextView() const { return RichEdit1; }
    QWidget* HeaderPanel() const { return Panel6; }
    QToolButton* NavigationButton(TNavigation which) const;
    // Value labels: 0 sender, 1 addressee, 2 subject, 3 flags, 4 date.
    THintLabel* ValueLabel(int index) const;

    // Reads the message at `position` and shows it. Returns the message as shown (in pseudographics
    // mode with text and control lines converted to the Windows code page). Read errors propagate;
    // the code-page switch and the base's OemView are restored either way.
    TShownMessage ShowMessage(TMessageBase& base, int32_t position, const TViewMode& mode);
    // The single line "Сообщение было удалено" and empty labels.
    void ShowDeleted();
    // Nothing shown.
    void Clear();

    void ResetHeaderColor();
    void DarkenHeader();

    // The text view's content as one document.
    void Print(QPrinter& printer, const QString& title) const;
    void CopySelection();
    void SelectAll();

signals:
    void NavigationClicked(pelmar::ui::TNavigation which);
    void LinkClicked(const QString& link);

private:
    void BuildHeader();
    void ClearLabels();
    void FillLabels(const TShownMessage& message, const std::string& attrText);
    void MarkLinks(bool ftnAddresses);
    void ApplyDosFont();
    void ShowFromStart();

    QWidget* Panel6 = nullptr;
    QWidget* Panel7 = nullptr;
    QWidget* Panel8 = nullptr;
    TMessageText* RichEdit1 = nullptr;
    std::array<THintLabel*, 5> values_{};
    std::array<QToolButton*, 6> buttons_{};
};

}  // namespace pelmar::ui
