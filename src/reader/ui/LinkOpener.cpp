#include "reader/ui/LinkOpener.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

#include "core/ui/MessageBox.h"
#include "core/ui/QtText.h"
#include "reader/ViewLinks.h"

namespace pelmar::ui {

namespace {

// Files the desktop would run rather than show.
bool CouldRun(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir()) return false;
    if (info.isExecutable()) return true;
    const QString suffix = info.suffix().toLower();
    return suffix == QLatin1String("desktop") || suffix == QLatin1String("sh") ||
           suffix == QLatin1String("jar") || suffix == QLatin1String("appimage") ||
           suffix == QLatin1String("exe") || suffix == QLatin1String("bat") ||
           suffix == QLatin1String("cmd") || suffix == QLatin1String("com") || suffix == QLatin1String("py");
}

}  // namespace

void OpenLink(const QString& link, const TLinkHandlers& handlers, QWidget* parent) {
    const std::string text = FromQt(link.trimmed());
    const auto ask = [&](const QString& question) {
        if (handlers.Ask) return handlers.Ask(question);
        return AskYesNo(FromQt(question), parent);
    };
    const auto refuse = [&](const QString& why) {
        if (handlers.Refuse)
            handlers.Refuse(why);
        else
            ShowInfo(FromQt(why), parent);
    };
    // A desktop without a program for the link refuses it quietly; the user hears of it here.
    const auto open = [&](const QString& url) {
        const bool opened =
            handlers.Open ? handlers.Open(url) : QDesktopServices::openUrl(QUrl(url, QUrl::TolerantMode));
        if (!opened)
            refuse(QStringLiteral("Ссылку не удалось открыть: на этом компьютере нет программы, "
                                  "которая открывает такие ссылки.\r\n") +
                   url);
    };
    switch (ClassifyLink(text)) {
        case TLinkAction::WriteNetmail:
            if (handlers.WriteNetmail) handlers.WriteNetmail(ToQt(text));
            return;
        case TLinkAction::Open:
            open(ToQt(LinkTarget(text)));
            return;
        case TLinkAction::Ask:
            break;
    }
    const QUrl url(ToQt(text), QUrl::TolerantMode);
    if (url.isLocalFile() || url.scheme().compare(QLatin1String("file"), Qt::CaseInsensitive) == 0) {
        const QString path = url.toLocalFile();
        if (CouldRun(path)) {
            refuse(
                QStringLiteral("Ссылка ведёт на файл, который может быть запущен, и открыта не будет:\r\n") +
                path);
            return;
        }
    }
    if (ask(QStringLiteral("Ссылка из письма ведёт на\r\n") + ToQt(text) + QStringLiteral("\r\nОткрыть её?")))
        open(ToQt(text));
}

}  // namespace pelmar::ui
