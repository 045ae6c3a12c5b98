#include "editor/ui/SpellChecker.h"

#include <hunspell/hunspell.hxx>

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <set>

#include "core/ui/MessageBox.h"
#include "core/ui/QtText.h"
#include "platform/Codepage.h"
#include "core/ui/SlotGuard.h"

namespace pelmar::ui {

namespace {

bool IsLetter(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0xC0 || c == 0xA8 || c == 0xB8;
}

}  // namespace

TSpellChecker::TSpellChecker(const std::vector<std::string>& folders) {
    for (const char* name : {"ru_RU", "en_US"}) {
        for (const auto& folder : folders) {
            const std::string aff = folder + name + ".aff", dic = folder + name + ".dic";
            std::error_code ec;
            if (!std::filesystem::exists(aff, ec) || !std::filesystem::exists(dic, ec)) continue;
            dictionaries_.push_back(std::make_unique<Hunspell>(aff.c_str(), dic.c_str()));
            break;
        }
    }
}

TSpellChecker::~TSpellChecker() = default;

TSpellChecker& TSpellChecker::Instance() {
    static TSpellChecker checker;
    return checker;
}

// The dictionaries of Debian are UTF-8; the body is CP1251.
bool TSpellChecker::Correct(const std::string& word) const {
    if (dictionaries_.empty()) return true;
    const std::string utf8 = AnsiToUtf8(word);
    for (const auto& d : dictionaries_)
        if (d->spell(utf8)) return true;
    return false;
}

std::vector<std::string> TSpellChecker::Suggest(const std::string& word) const {
    std::vector<std::string> out;
    const std::string utf8 = AnsiToUtf8(word);
    for (const auto& d : dictionaries_)
        for (const auto& s : d->suggest(utf8)) out.push_back(Utf8ToAnsi(s));
    return out;
}

std::vector<TWordSpan> TSpellChecker::Misspelt(const std::string& text) const {
    std::vector<TWordSpan> out;
    if (dictionaries_.empty()) return out;
    size_t i = 0;
    while (i < text.size()) {
        if (!IsLetter(static_cast<unsigned char>(text[i]))) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < text.size() && (IsLetter(static_cast<unsigned char>(text[end])) ||
                                     ((text[end] == '\'' || text[end] == '-') && end + 1 < text.size() &&
                                      IsLetter(static_cast<unsigned char>(text[end + 1])))))
            ++end;
        if (!Correct(text.substr(i, end - i)))
            out.push_back({static_cast<int>(i), static_cast<int>(end - i)});
        i = end;
    }
    return out;
}

namespace {

enum class TAnswer { Replace, Skip, SkipAll, Cancel };

TAnswer AskWord(QWidget* parent, const std::string& word, const std::vector<std::string>& suggestions,
                std::string& replacement) {
    QDialog dialog(parent);
    dialog.setWindowTitle(QString::fromUtf8("Орфография"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QString::fromUtf8("Нет в словаре: ") + ToQt(word), &dialog));
    auto* edit = new QLineEdit(ToQt(suggestions.empty() ? word : suggestions.front()), &dialog);
    layout->addWidget(edit);
    auto* list = new QListWidget(&dialog);
    for (const auto& s : suggestions) list->addItem(ToQt(s));
    GuardedConnect(list, &QListWidget::currentTextChanged, edit, &QLineEdit::setText);
    layout->addWidget(list);
    auto* buttons = new QHBoxLayout;
    TAnswer answer = TAnswer::Cancel;
    auto add = [&](const char* text, TAnswer a) {
        auto* b = new QPushButton(QString::fromUtf8(text), &dialog);
        GuardedConnect(b, &QPushButton::clicked, &dialog, [&dialog, &answer, a] {
            answer = a;
            dialog.accept();
        });
        buttons->addWidget(b);
    };
    add("Заменить", TAnswer::Replace);
    add("Пропустить", TAnswer::Skip);
    add("Пропустить все", TAnswer::SkipAll);
    add("Отмена", TAnswer::Cancel);
    layout->addLayout(buttons);
    if (dialog.exec() != QDialog::Accepted) return TAnswer::Cancel;
    replacement = FromQt(edit->text());
    return answer;
}

}  // namespace

bool CheckBodySpelling(QWidget* parent, QPlainTextEdit* body, bool notifyWhenDone) {
    TSpellChecker& checker = TSpellChecker::Instance();
    if (!checker.Available()) {
        static bool told = false;
        if (!told)
            ShowInfo(
                Utf8ToAnsi("Словари для проверки орфографии не установлены (hunspell-ru, hunspell-en-us)."),
                parent);
        told = true;
        return true;
    }
    std::set<std::string> skipped;
    int from = 0;
    for (;;) {
        const std::string text = FromQt(body->toPlainText());
        TWordSpan next{-1, 0};
        // Only the text after the last answer is checked again: `from` always ends a word.
        for (TWordSpan span : checker.Misspelt(text.substr(std::min<size_t>(from, text.size())))) {
            span.Offset += from;
            if (skipped.count(text.substr(span.Offset, span.Length))) continue;
            next = span;
            break;
        }
        if (next.Offset < 0) break;
        const std::string word = text.substr(next.Offset, next.Length);
        QTextCursor c = body->textCursor();
        c.setPosition(next.Offset);
        c.setPosition(next.Offset + next.Length, QTextCursor::KeepAnchor);
        body->setTextCursor(c);
        std::string replacement;
        switch (AskWord(parent, word, checker.Suggest(word), replacement)) {
            case TAnswer::Cancel:
                return false;
            case TAnswer::SkipAll:
                skipped.insert(word);
                [[fallthrough]];
            case TAnswer::Skip:
                from = next.Offset + next.Length;
                break;
            case TAnswer::Replace:
                c.insertText(ToQt(replacement));
                from = next.Offset + static_cast<int>(replacement.size());
                break;
        }
    }
    if (notifyWhenDone) ShowInfo(Utf8ToAnsi("Проверка орфографии завершена."), parent);
    return true;
}

TSpellHighlighter::TSpellHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {}

void TSpellHighlighter::highlightBlock(const QString& text) {
    QTextCharFormat format;
    format.setUnderlineStyle(QTextCharFormat::SpellCheckUnderline);
    format.setUnderlineColor(Qt::red);
    for (const auto& span : TSpellChecker::Instance().Misspelt(FromQt(text)))
        setFormat(span.Offset, span.Length, format);
}

}  // namespace pelmar::ui
