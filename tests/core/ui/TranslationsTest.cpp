// The toolkit's standard texts follow the program's language.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QMessageBox>

#include "core/ui/Translations.h"

namespace pelmar::ui {
namespace {

TEST(ToolkitTranslations, StandardButtonsAreRussian) {
    ASSERT_TRUE(InstallToolkitTranslations(*qApp)) << "qt6-translations-l10n is not installed";
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text().remove('&'), QStringLiteral("Да"));
    EXPECT_EQ(box.button(QMessageBox::No)->text().remove('&'), QStringLiteral("Нет"));
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text().remove('&'), QStringLiteral("Отмена"));
    // The file dialog's type column, whose texts the translation keeps under another name.
    EXPECT_EQ(QFileIconProvider().type(QFileInfo(QDir::tempPath())), QStringLiteral("Папка"));
}

}  // namespace
}  // namespace pelmar::ui
