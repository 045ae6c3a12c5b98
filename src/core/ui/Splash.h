#pragma once
// The splash picture shown while the program starts.
#include <QPixmap>
#include <QWidget>

namespace pelmar::ui {

class TSplash : public QWidget {
    Q_OBJECT

public:
    // A frameless window that stays on top, sized to the picture.
    explicit TSplash(const QPixmap& picture, QWidget* parent = nullptr);

    // Shows the window centred on the screen and paints it at once, before the slow steps begin.
    void ShowNow();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap picture_;
};

// The program's one splash window: created at start-up, hidden by the first-run wizard, destroyed
// when the main window first appears.
TSplash* CreateSplash();
TSplash* Splash();
void HideSplash();
void DestroySplash();

}  // namespace pelmar::ui
