#pragma once
// The help window: compiled-in HTML pages, opened by topic number.
#include <QWidget>

class QTextBrowser;

namespace pelmar::ui {

class THelpWindow : public QWidget {
    Q_OBJECT

public:
    explicit THelpWindow(QWidget* parent = nullptr);
    // The page of a topic number (10 contents, 40 for beginners, 160 the manual, 200..399 the settings
    // dialog and its pages, 500 the editor); unknown numbers open the contents.
    static QString TopicPage(int topic);
    void ShowTopic(int topic);
    void ShowPage(const QString& page);

private:
    QTextBrowser* Browser = nullptr;
};

// The one help window, made on first use.
void OpenHelpTopic(int topic, QWidget* owner);

// Topic numbers of the pages.
inline constexpr int HelpContents = 10;
inline constexpr int HelpNovice = 40;
inline constexpr int HelpManual = 160;
inline constexpr int HelpSettings = 200;
inline constexpr int HelpEditor = 500;

}  // namespace pelmar::ui
