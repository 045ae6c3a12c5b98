#include "core/ui/Splash.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <memory>

namespace pelmar::ui {

namespace {

std::unique_ptr<TSplash>& Instance() {
    static std::unique_ptr<TSplash> splash;
    return splash;
}

QPixmap SplashPicture() {
    QPixmap picture(QStringLiteral(":/pelmar/splash.png"));
    if (picture.isNull()) {
        // The picture is compiled in; should it be missing the window still shows something.
        picture = QPixmap(320, 160);
        picture.fill(QColor(32, 74, 135));
    }
    return picture;
}

}  // namespace

TSplash::TSplash(const QPixmap& picture, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      picture_(picture) {
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(picture_.deviceIndependentSize().toSize());
}

void TSplash::ShowNow() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->geometry().center() - rect().center());
    }
    show();
    repaint();
    QCoreApplication::processEvents();
}

void TSplash::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, picture_);
}

TSplash* CreateSplash() {
    Instance() = std::make_unique<TSplash>(SplashPicture());
    return Instance().get();
}

TSplash* Splash() {
    return Instance().get();
}

void HideSplash() {
    if (Instance()) Instance()->hide();
}

void DestroySplash() {
    Instance().reset();
}

}  // namespace pelmar::ui
