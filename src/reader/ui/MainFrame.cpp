#include "reader/ui/MainFrame.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QStatusBar>

#include "core/ui/Splash.h"

namespace pelmar::ui {

TMainFrame* MainFrame = nullptr;

TMainFrame::TMainFrame(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Пелмар"));
    resize(800, 600);
    constexpr std::array<int, kStatusPanels> stretch{0, 0, 1};
    for (int i = 0; i < kStatusPanels; ++i) {
        auto* panel = new QLabel(this);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        if (stretch[static_cast<size_t>(i)] == 0) panel->setMinimumWidth(120);
        statusBar()->addWidget(panel, stretch[static_cast<size_t>(i)]);
        panels_[static_cast<size_t>(i)] = panel;
    }
    MainFrame = this;
}

TMainFrame::~TMainFrame() {
    if (MainFrame == this) MainFrame = nullptr;
}

QLabel* TMainFrame::StatusPanel(int index) const {
    if (index < 0 || index >= kStatusPanels) return nullptr;
    return panels_[static_cast<size_t>(index)];
}

void TMainFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_) return;
    shown_ = true;
    DestroySplash();
}

void TMainFrame::closeEvent(QCloseEvent* event) {
    event->accept();
    // The program runs until this window closes, whatever other windows are open.
    QCoreApplication::quit();
}

}  // namespace pelmar::ui
