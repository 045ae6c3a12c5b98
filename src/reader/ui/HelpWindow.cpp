#include "reader/ui/HelpWindow.h"
#include "core/ui/SlotGuard.h"

#include <QPointer>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

static void InitHelpResources() {
    Q_INIT_RESOURCE(help);
}

namespace pelmar::ui {

THelpWindow::THelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    InitHelpResources();
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Справка"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    Browser = new QTextBrowser(this);
    Browser->setObjectName(QStringLiteral("Browser"));
    Browser->setOpenExternalLinks(true);
    Browser->setSearchPaths({QStringLiteral(":/pelmar/help")});
    layout->addWidget(Browser);
    GuardedConnect(Browser, &QTextBrowser::sourceChanged, this,
            [this] { setWindowTitle(QStringLiteral("Справка: ") + Browser->documentTitle()); });
    resize(640, 560);
}

QString THelpWindow::TopicPage(int topic) {
    // The settings dialog opens one number per page; they share one help page.
    if (topic >= HelpSettings && topic < 400) return QStringLiteral("settings.html");
    switch (topic) {
        case HelpNovice:
            return QStringLiteral("novice.html");
        case HelpManual:
            return QStringLiteral("manual.html");
        case HelpEditor:
            return QStringLiteral("editor.html");
        default:
            return QStringLiteral("index.html");
    }
}

void THelpWindow::ShowPage(const QString& page) {
    Browser->setSource(QUrl(QStringLiteral("qrc:/pelmar/help/") + page));
}

void THelpWindow::ShowTopic(int topic) {
    ShowPage(TopicPage(topic));
}

void OpenHelpTopic(int topic, QWidget* owner) {
    static QPointer<THelpWindow> window;
    if (window.isNull()) window = new THelpWindow(owner);
    window->ShowTopic(topic);
    window->show();
    window->raise();
    window->activateWindow();
}

}  // namespace pelmar::ui
