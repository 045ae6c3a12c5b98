// Help topics: every number a window opens leads to a page that is compiled in.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QTextBrowser>

#include "reader/ui/HelpWindow.h"
#include "support/qt/Child.h"

namespace pelmar::ui {
namespace {

using pelmar::test::Child;

TEST(HelpWindow, EveryOpenedTopicLeadsToItsPage) {
    const struct {
        int Topic;
        const char* Page;
    } rows[] = {
        {HelpContents, "index.html"},
        {HelpNovice, "novice.html"},
        {HelpManual, "manual.html"},
        {HelpEditor, "editor.html"},
        {HelpSettings, "settings.html"},
        // The settings dialog's pages.
        {210, "settings.html"},
        {250, "settings.html"},
        {260, "settings.html"},
        {270, "settings.html"},
        {280, "settings.html"},
        {300, "settings.html"},
        {310, "settings.html"},
        {12345, "index.html"},
    };
    THelpWindow window;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Topic);
        EXPECT_EQ(THelpWindow::TopicPage(row.Topic), QString::fromLatin1(row.Page));
        EXPECT_TRUE(QFile::exists(QStringLiteral(":/pelmar/help/") + QString::fromLatin1(row.Page)));
        window.ShowTopic(row.Topic);
        EXPECT_FALSE(Child<QTextBrowser>(window, "Browser")->document()->isEmpty());
    }
}

TEST(HelpWindow, OneWindowServesEveryOpening) {
    QWidget owner;
    OpenHelpTopic(HelpEditor, &owner);
    OpenHelpTopic(HelpSettings, &owner);
    int shown = 0;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* help = qobject_cast<THelpWindow*>(window); help != nullptr && help->isVisible()) {
            ++shown;
            EXPECT_EQ(Child<QTextBrowser>(*help, "Browser")->source().fileName(),
                      QStringLiteral("settings.html"));
        }
    }
    EXPECT_EQ(shown, 1);
}

}  // namespace
}  // namespace pelmar::ui
