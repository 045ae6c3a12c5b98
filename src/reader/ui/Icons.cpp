#include "reader/ui/Icons.h"

#include <QDir>
#include <QStringList>
#include <array>

namespace pelmar::ui {

namespace {

QIcon Resource(const QString& name) {
    return QIcon(QStringLiteral(":/pelmar/icons/") + name);
}

}  // namespace

QIcon ListIcon(int index) {
    static const std::array<const char*, 7> names = {"expander-collapsed.svg",
                                                     "expander-expanded.svg",
                                                     "msg-unread.svg",
                                                     "msg-personal.svg",
                                                     "msg-read.svg",
                                                     "msg-read-unread-below.svg",
                                                     "msg-personal-unread-below.svg"};
    if (index < 0 || index >= static_cast<int>(names.size())) return {};
    static std::array<QIcon, 7> icons;
    QIcon& icon = icons[static_cast<size_t>(index)];
    if (icon.isNull()) icon = Resource(QString::fromLatin1(names[static_cast<size_t>(index)]));
    return icon;
}

QIcon AreaTreeIcon(bool hasBase) {
    static QIcon area, group;
    QIcon& icon = hasBase ? area : group;
    if (!icon.isNull()) return icon;
    const QString normalName = hasBase ? QStringLiteral("text-x-generic") : QStringLiteral("folder");
    const QString selectedName = hasBase ? QStringLiteral("text-x-generic") : QStringLiteral("folder-open");
    const QIcon normal = ThemeIcon(normalName, hasBase ? "area.svg" : "folder.svg");
    const QIcon selected = ThemeIcon(selectedName, hasBase ? "area-selected.svg" : "folder-open.svg");
    for (const int size : {16, 22, 24, 32, 48}) {
        icon.addPixmap(normal.pixmap(size, size), QIcon::Normal);
        icon.addPixmap(selected.pixmap(size, size), QIcon::Selected);
    }
    return icon;
}

QIcon OverlayIcon(int overlay) {
    static const std::array<const char*, 4> names = {"overlay-personal.svg", "overlay-unread.svg",
                                                     "overlay-unread-below.svg", "overlay-no-base.svg"};
    if (overlay < 1 || overlay > static_cast<int>(names.size())) return {};
    static std::array<QIcon, 4> icons;
    QIcon& icon = icons[static_cast<size_t>(overlay - 1)];
    if (icon.isNull()) icon = Resource(QString::fromLatin1(names[static_cast<size_t>(overlay - 1)]));
    return icon;
}

QIcon SortArrowIcon(bool ascending) {
    static const QIcon asc = Resource(QStringLiteral("sort-asc.svg"));
    static const QIcon dsc = Resource(QStringLiteral("sort-dsc.svg"));
    return ascending ? asc : dsc;
}

QIcon ThemeIcon(const QString& themeName, const QString& fallbackResource) {
    if (!themeName.isEmpty()) {
        if (QIcon::hasThemeIcon(themeName)) return QIcon::fromTheme(themeName);
        // The symbolic variant is all some themes carry.
        const QString symbolic = themeName + QStringLiteral("-symbolic");
        if (QIcon::hasThemeIcon(symbolic)) return QIcon::fromTheme(symbolic);
    }
    if (!fallbackResource.isEmpty()) return Resource(fallbackResource);
    return {};
}

void PrepareIconTheme() {
    // Platforms without a desktop theme (offscreen, minimal) search only the resources.
    QStringList paths = QIcon::themeSearchPaths();
    QStringList wanted{QDir::homePath() + QStringLiteral("/.icons")};
    const QString dataHome =
        qEnvironmentVariable("XDG_DATA_HOME", QDir::homePath() + QStringLiteral("/.local/share"));
    wanted << dataHome + QStringLiteral("/icons");
    const QString dataDirs =
        qEnvironmentVariable("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"));
    for (const QString& dir : dataDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        wanted << dir + QStringLiteral("/icons");
    bool changed = false;
    for (const QString& path : wanted) {
        if (!paths.contains(path) && QDir(path).exists()) {
            paths << path;
            changed = true;
        }
    }
    if (changed) QIcon::setThemeSearchPaths(paths);
    // Without a desktop session Qt names no theme, or only the bare "hicolor" one.
    if (QIcon::fallbackThemeName().isEmpty() || QIcon::fallbackThemeName() == QStringLiteral("hicolor")) {
        QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    }
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QStringLiteral("hicolor")) {
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    }
}

}  // namespace pelmar::ui
