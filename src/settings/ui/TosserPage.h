#pragma once
// The "Тоссер" page of the settings dialog: the lists the tosser reads after a send (echotoss.log,
// echomail.jam) and the command run after sending, with its log.
#include <QWidget>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace pelmar {
struct TSettings;
}

namespace pelmar::ui {

class TTosserPage : public QWidget {
    Q_OBJECT

public:
    explicit TTosserPage(QWidget* parent = nullptr);
    void Load(const TSettings& settings);
    void Store(TSettings& settings) const;
    void UpdateControls();

private:
    QLineEdit* echoTossLog_;
    QCheckBox* useEchomailJam_;
    QLineEdit* echomailJam_;
    QPushButton* echomailJamBrowse_;
    QLineEdit* afterSendCommand_;
    QPushButton* afterSendLog_;
};

}  // namespace pelmar::ui
