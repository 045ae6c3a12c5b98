#pragma once
// The small dialogs of the settings dialog: an auto-type entry ("Автоввод"), a replacement pair
// ("Замена"), and opening help pages.
#include <QDialog>
#include <QLineEdit>
#include <functional>
#include <string>
#include <vector>

#include "core/AutoType.h"
#include "core/ui/VirtualKeys.h"

class QPlainTextEdit;
class QPushButton;

namespace pelmar::ui {

// A shortcut input: takes a key pressed with Ctrl or Alt; a key alone or with Shift only is ignored.
class TShortCutEdit : public QLineEdit {
    Q_OBJECT

public:
    explicit TShortCutEdit(QWidget* parent = nullptr);
    TShortCut ShortCut() const { return shortCut_; }
    void SetShortCut(const TShortCut& shortCut);
    // What a key press with these modifiers makes (false when it is not accepted).
    static bool ShortCutFor(int qtKey, Qt::KeyboardModifiers modifiers, TShortCut& result);

signals:
    void ShortCutChanged();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    TShortCut shortCut_;
};

class TAutoForm : public QDialog {
    Q_OBJECT

public:
    // `table` is the working table; `editing` the row being replaced (-1 for a new entry).
    TAutoForm(const std::vector<TAutoTypeEntry>& table, int editing, QWidget* parent = nullptr);

private:
    TShortCutEdit* KeyEdit;
    QPlainTextEdit* TextEdit;
    QPushButton* OKButton;

public:
    TAutoTypeEntry Entry() const;
    void SetEntry(const TAutoTypeEntry& entry);
    void UpdateButtons();
    void OKButtonClick();

    std::function<void(const std::string&)> ShowInfoBox;

private:
    const std::vector<TAutoTypeEntry>& table_;
    int editing_;
};

class TChangeForm : public QDialog {
    Q_OBJECT

public:
    explicit TChangeForm(QWidget* parent = nullptr);

private:
    QLineEdit* WhatEdit;
    QLineEdit* WithEdit;
    QPushButton* OKButton;

public:
    void UpdateButtons();
    // The pair: what is replaced and what replaces it (CP1251).
    void SetPair(const std::string& what, const std::string& with);
    std::string What() const;
    std::string With() const;
};

}  // namespace pelmar::ui
