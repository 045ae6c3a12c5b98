#pragma once
// The settings dialog ("Настройка Пелмара").
#include <QDialog>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/AutoType.h"
#include "settings/SetupRules.h"

class QCheckBox;
class QComboBox;
class QFontComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTextEdit;
class QTreeWidget;
class QToolButton;

namespace pelmar::ui {

class TColorGrid;
class TTosserPage;

// One plug-in line of the "Модули" page; the plug-in manager fills them.
struct TPluginLine {
    std::string Caption;  // "%s %s [%s]": name, version, library file
    std::string Description;
    bool Active = false;
    bool HasSetup = false;
};
// What the settings dialog asks of the plug-in manager. Until one is installed the page lists nothing.
class TPluginSettings {
public:
    virtual ~TPluginSettings() = default;
    virtual std::vector<TPluginLine> Lines() = 0;
    virtual void ShowSetup(int index, QWidget* parent) = 0;
    virtual void ShowAbout(int index, QWidget* parent) = 0;
    // Activates or deactivates (loading or unloading) the plug-in of a line.
    virtual void SetActive(int index, bool active) = 0;
};
void SetPluginSettings(TPluginSettings* plugins);

class TSetupForm : public QDialog {
    Q_OBJECT

public:
    explicit TSetupForm(QWidget* parent = nullptr);
    ~TSetupForm() override;

    // Fills every control from the settings and the stores (done by the constructor).
    void LoadValues();
    // Writes everything back in the fixed order and saves; false when the save failed.
    bool WriteBack();
    void UpdateControls();

private:
    // The table that loads and stores the settings shown one to a control.
    friend struct TSetupFormBindings;
    QTabWidget* PageControl;
    // "Личное"
    QLineEdit* Edit1;
    QCheckBox* CheckBox7;
    QCheckBox* CheckBox8;
    QCheckBox* CheckBox9;
    QPushButton* BitBtn3;
    // "Адреса"
    QLineEdit* Edit2;
    QListWidget* ListBox1;
    QPushButton* Button1;
    QPushButton* Button2;
    QToolButton* SpeedButton1;
    QToolButton* SpeedButton2;
    QGroupBox* UplinksGroup;
    QLineEdit* Edit3;
    QListWidget* ListBox2;
    QPushButton* Button3;
    QPushButton* Button4;
    // "Списки узлов"
    QListWidget* ListBox3;
    QPushButton* Button5;
    QPushButton* Button6;
    QCheckBox* CheckBox3;
    // "Вид"
    QCheckBox* CheckBox1;
    QCheckBox* CheckBox2;
    QCheckBox* CheckBox11;
    QCheckBox* CheckBox10;
    QCheckBox* CheckBox16;
    QCheckBox* CheckBox4;
    QCheckBox* NotifyPersonalBox;
    QFontComboBox* FontComboBox1;
    QComboBox* ComboBox1;
    QLabel* VarSample;
    QFontComboBox* FontComboBox2;
    QComboBox* ComboBox2;
    QLabel* FixSample;
    QComboBox* ComboBox3;
    QLabel* DosSample;
    // "Сообщения"
    QListWidget* ListBox6;
    QLineEdit* ComboEdit1;
    QLineEdit* ComboEdit2;
    QTreeWidget* ListView2;
    QPushButton* Button12;
    QPushButton* Button13;
    QPushButton* Button14;
    QCheckBox* CheckBox5;
    // "Цвета"
    QListWidget* ListBox5;
    TColorGrid* ColorGrid1;
    QTextEdit* RichEdit2;
    // "Замены"
    QTreeWidget* ListView1;
    QPushButton* Button7;
    QPushButton* Button8;
    QPushButton* Button9;
    // "Дополнительно"
    QCheckBox* CheckBox12;
    QSpinBox* RxSpinEdit1;
    QCheckBox* CheckBox13;
    QLineEdit* Edit4;
    QCheckBox* CheckBox14;
    QLineEdit* Edit5;
    QCheckBox* CheckBox15;
    QSpinBox* RxSpinEdit2;
    // "Модули"
    QListWidget* RxCheckListBox1;
    QLabel* StaticText1;
    QPushButton* Button10;
    QPushButton* Button11;
    // "Тоссер"
    TTosserPage* TosserPage;

public:
    // ---- commands of the pages ----
    void AddAddress();
    void MoveAddress(int delta);
    void AddNodelistFiles(const std::vector<std::string>& files);
    void AddReplacement(const TReplacement& row);
    void ReplaceReplacement(int row, const TReplacement& value);
    void AddAutoType(const TAutoTypeEntry& entry);
    void ReplaceAutoType(int row, const TAutoTypeEntry& entry);
    void DeleteAutoType(int row);
    void SelectColorEntry(int entry);
    void ColorsPicked(int foreground, int background);
    void RedrawPreview();

    const std::vector<TAutoTypeEntry>& AutoTypeWork() const { return autoType_; }
    const std::vector<TReplacement>& ReplacementWork() const { return replacements_; }
    const std::array<uint8_t, 12>& ColorWork() const { return colors_; }

    uint16_t NetmailAttr() const { return netmailDef_; }
    uint16_t EchomailAttr() const { return echomailDef_; }
    void SetNetmailAttr(uint16_t attr);
    void SetEchomailAttr(uint16_t attr);

    // Replaceable for tests: the file dialog of nodelists, the small dialogs (true after OK, the
    // value in and out), the attribute dialog, the user list.
    std::function<std::vector<std::string>()> ChooseNodelistFiles;
    std::function<bool(TReplacement&)> RunChangeForm;
    std::function<bool(TAutoTypeEntry&, int editing)> RunAutoForm;
    std::function<bool(uint16_t&)> EditAttributes;
    std::function<void()> RunUsers;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* BuildPersonalPage();
    QWidget* BuildAddressPage();
    QWidget* BuildNodelistPage();
    QWidget* BuildViewPage();
    QWidget* BuildMessagesPage();
    QWidget* BuildColorsPage();
    QWidget* BuildReplacePage();
    QWidget* BuildExtraPage();
    QWidget* BuildPluginsPage();
    void FillAutoTypeList();
    void FillReplaceList();
    void ShowFontSample(QLabel* sample, const QFont& family, const QComboBox* size);

    std::vector<TAutoTypeEntry> autoType_;
    std::vector<TReplacement> replacements_;
    std::array<uint8_t, 12> colors_{};
    int colorEntry_ = -1;
    uint16_t netmailDef_ = 0;
    uint16_t echomailDef_ = 0;
    std::vector<std::string> netmailIds_;
    std::vector<bool> pluginActive_;
};

// Creates, fills and shows the settings dialog; writes back on OK. True when it was confirmed.
bool RunSettingsDialog(QWidget* owner);

}  // namespace pelmar::ui
