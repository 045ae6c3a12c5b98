#pragma once
// The main reading window.
#include <QMainWindow>
#include <array>

class QLabel;

namespace pelmar::ui {

class TMainFrame : public QMainWindow {
    Q_OBJECT

public:
    explicit TMainFrame(QWidget* parent = nullptr);
    ~TMainFrame() override;

    // Status bar panels: 0 progress of long operations, 1 state, 2 text.
    QLabel* StatusPanel(int index) const;
    static constexpr int kStatusPanels = 3;

    // Started with "-noavi": the animation window stays hidden.
    bool NoAnimation = false;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    std::array<QLabel*, kStatusPanels> panels_{};
    bool shown_ = false;
};

// The one main window while it exists, else null.
extern TMainFrame* MainFrame;

}  // namespace pelmar::ui
