#pragma once
// A path field with a browse button: an existing file (with a file-type filter) or a folder.
#include <QString>
#include <QWidget>
#include <functional>
#include <string>

class QLineEdit;
class QToolButton;

namespace pelmar::ui {

class TFileChooser : public QWidget {
    Q_OBJECT

public:
    enum class TMode { ExistingFile, Directory };

    // `filter` is "description|pattern" (file mode only).
    TFileChooser(TMode mode, const QString& filter, QWidget* parent = nullptr);

    // The path as the file system spells it (bytes for open(2), not CP1251 text).
    std::string Path() const;
    void SetPath(const std::string& path);

    TMode Mode() const { return mode_; }
    // The filter as the file dialog shows it: "description (PATTERN pattern)"; names on this disk
    // may be in either case.
    QString DialogFilter() const { return dialogFilter_; }

    // Asks the user for a path starting from the current one; an empty result leaves the field as
    // it is. Opens the file dialog unless replaced (tests).
    std::function<QString(const QString& current)> Browse;

    // Only the browse button changes the path: the field is not typed into.
    void SetBrowseOnly(bool browseOnly);

signals:
    // The path changed, typed or chosen.
    void PathChanged();

private:
    QLineEdit* Edit;
    QToolButton* BrowseButton;

private:
    QString OpenDialog(const QString& current);

    TMode mode_;
    QString dialogFilter_;
};

// "description|pattern" as a file dialog filter, the pattern also in lower case.
QString DialogFilterFor(const QString& filter);

}  // namespace pelmar::ui
