#include "plugins/ui/PluginAboutForm.h"

#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>

#include "core/ui/QtText.h"
#include "core/ui/SlotGuard.h"

namespace pelmar::ui {

TPluginAboutForm::TPluginAboutForm(const std::string& caption, const std::string& line1,
                                   const std::string& line2, const std::string& text, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("PluginAboutForm"));
    setWindowTitle(ToQt(caption));
    setModal(true);

    auto* picture = new QToolButton(this);
    picture->setIcon(QApplication::windowIcon());
    picture->setIconSize(QSize(48, 48));
    picture->setAutoRaise(true);
    picture->setFocusPolicy(Qt::NoFocus);

    Label1 = new QLabel(ToQt(line1), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont large(QStringLiteral("Arial"));
    large.setPixelSize(19);
    large.setBold(true);
    Label1->setFont(large);
    Label2 = new QLabel(ToQt(line2), this);
    Label2->setObjectName(QStringLiteral("Label2"));

    StaticText1 = new QLabel(ToQt(text), this);
    StaticText1->setObjectName(QStringLiteral("StaticText1"));
    StaticText1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StaticText1->setWordWrap(true);
    StaticText1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    StaticText1->setFixedSize(320, 120);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    GuardedConnect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(picture, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(Label1, 0, 1);
    layout->addWidget(Label2, 1, 1);
    layout->addWidget(StaticText1, 2, 0, 1, 2);
    layout->addWidget(ok, 3, 0, 1, 2, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

}  // namespace pelmar::ui
