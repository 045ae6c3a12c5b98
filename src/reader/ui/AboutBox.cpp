#include "reader/ui/AboutBox.h"

#include <QApplication>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "core/Settings.h"
#include "core/ui/SlotGuard.h"

namespace pelmar::ui {

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("О программе"));
    setModal(true);

    auto* picture = new QLabel(this);
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull()) icon = style()->standardIcon(QStyle::SP_MessageBoxInformation);
    picture->setPixmap(icon.pixmap(48, 48));

    NameLabel = new QLabel(QStringLiteral("Пелмар ") + QStringLiteral(PELMAR_VERSION_TEXT), this);
    NameLabel->setObjectName(QStringLiteral("NameLabel"));
    QFont large = NameLabel->font();
    if (large.pointSizeF() > 0) large.setPointSizeF(large.pointSizeF() * 1.5);
    large.setBold(true);
    NameLabel->setFont(large);
    CreditsLabel = new QLabel(QStringLiteral("Программа для чтения и написания почты сетей FTN:\n"
                                             "эхоконференции и нетмейл в базах JAM, Squish, *.MSG и Hudson."),
                              this);
    CreditsLabel->setWordWrap(true);
    // The library the program was built with may differ from the one it runs on.
    QtLabel = new QLabel(QStringLiteral("Qt %1").arg(QString::fromLatin1(qVersion())), this);
    QtLabel->setObjectName(QStringLiteral("QtLabel"));
    QtLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    OkButton = new QPushButton(QStringLiteral("OK"), this);
    OkButton->setObjectName(QStringLiteral("OkButton"));
    OkButton->setDefault(true);
    GuardedConnect(OkButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(picture, 0, 0, 3, 1, Qt::AlignTop);
    layout->addWidget(NameLabel, 0, 1);
    layout->addWidget(CreditsLabel, 1, 1);
    layout->addWidget(QtLabel, 2, 1);
    layout->addWidget(OkButton, 3, 0, 1, 2, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void ShowAboutBox(QWidget* parent) {
    TAboutBox box(parent);
    box.exec();
}

}  // namespace pelmar::ui
