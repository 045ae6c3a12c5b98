#pragma once
// Spelling with the system's Hunspell dictionaries: a word is right when the Russian or the English
// dictionary accepts it. Without any dictionary the checker says so and accepts everything.
#include <QSyntaxHighlighter>
#include <memory>
#include <string>
#include <vector>

class Hunspell;
class QPlainTextEdit;
class QWidget;

namespace pelmar::ui {

struct TWordSpan {
    int Offset = 0;  // characters from the start of the text
    int Length = 0;
};

class TSpellChecker {
public:
    // Loads ru_RU and en_US from the first folder holding them.
    explicit TSpellChecker(const std::vector<std::string>& folders = {"/usr/share/hunspell/",
                                                                      "/usr/share/myspell/"});
    ~TSpellChecker();
    bool Available() const { return !dictionaries_.empty(); }
    // CP1251 word.
    bool Correct(const std::string& word) const;
    std::vector<std::string> Suggest(const std::string& word) const;
    // The misspelt words of a CP1251 text (words of letters, an apostrophe or hyphen inside).
    std::vector<TWordSpan> Misspelt(const std::string& text) const;
    // The program's one checker, loaded on first use.
    static TSpellChecker& Instance();

private:
    std::vector<std::unique_ptr<Hunspell>> dictionaries_;
};

// The interactive check of the body: replace / skip / skip all / cancel per misspelt word. False
// when the user cancelled. No dictionary: says so once and returns true, so sending goes on.
bool CheckBodySpelling(QWidget* parent, QPlainTextEdit* body, bool notifyWhenDone);

// Underlines misspelt words while typing.
class TSpellHighlighter : public QSyntaxHighlighter {
public:
    explicit TSpellHighlighter(QTextDocument* document);

protected:
    void highlightBlock(const QString& text) override;
};

}  // namespace pelmar::ui
