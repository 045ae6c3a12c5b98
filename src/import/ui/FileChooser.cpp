#include "import/ui/FileChooser.h"
#include "core/ui/SlotGuard.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>

namespace pelmar::ui {

QString DialogFilterFor(const QString& filter) {
    const qsizetype bar = filter.indexOf(QLatin1Char('|'));
    if (bar < 0) return filter;
    const QString description = filter.left(bar);
    const QString pattern = filter.mid(bar + 1);
    QString patterns = pattern;
    if (pattern.toLower() != pattern) patterns += QLatin1Char(' ') + pattern.toLower();
    return description + QStringLiteral(" (") + patterns + QLatin1Char(')');
}

TFileChooser::TFileChooser(TMode mode, const QString& filter, QWidget* parent)
    : QWidget(parent), mode_(mode), dialogFilter_(DialogFilterFor(filter)) {
    Edit = new QLineEdit(this);
    Edit->setObjectName(QStringLiteral("Edit"));
    Edit->setMinimumWidth(320);
    BrowseButton = new QToolButton(this);
    BrowseButton->setObjectName(QStringLiteral("BrowseButton"));
    BrowseButton->setText(QStringLiteral("..."));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Edit, 1);
    layout->addWidget(BrowseButton);
    setFocusProxy(Edit);
    GuardedConnect(Edit, &QLineEdit::textChanged, this, [this] { emit PathChanged(); });

    Browse = [this](const QString& current) { return OpenDialog(current); };
    GuardedConnect(BrowseButton, &QToolButton::clicked, this, [this] {
        const QString chosen = Browse(Edit->text());
        if (!chosen.isEmpty()) Edit->setText(chosen);
    });
}

std::string TFileChooser::Path() const {
    return QFile::encodeName(Edit->text()).toStdString();
}

void TFileChooser::SetPath(const std::string& path) {
    Edit->setText(QFile::decodeName(QByteArray::fromStdString(path)));
}

void TFileChooser::SetBrowseOnly(bool browseOnly) {
    Edit->setReadOnly(browseOnly);
}

QString TFileChooser::OpenDialog(const QString& current) {
    const QFileInfo info(current);
    if (mode_ == TMode::Directory) return QFileDialog::getExistingDirectory(this, QString(), current);
    const QString start = current.isEmpty() ? QString() : info.absolutePath();
    // getOpenFileName accepts existing files only.
    return QFileDialog::getOpenFileName(this, QString(), start, dialogFilter_);
}

}  // namespace pelmar::ui
