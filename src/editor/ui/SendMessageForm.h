#pragma once
// The message editor: a top-level window per letter. Preview phase (the template follows the
// header) and editing phase; sending hands its state to SendMessages. The rules live in
// EditorRules; this window wires them to controls.
#include <QWidget>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "editor/EditorMode.h"
#include "editor/EditorRules.h"
#include "editor/SendMessages.h"
#include "editor/Templates.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QToolBar;
class QToolButton;

namespace pelmar::ui {

class TSendMessageForm : public QWidget {
    Q_OBJECT

public:
    explicit TSendMessageForm(QWidget* owner = nullptr);
    ~TSendMessageForm() override;

    // ---- Inputs the opener sets before Show ----
    std::vector<TAreaInfo*> Destinations;
    uint16_t Attributes = 0;
    TEditorMode Mode = TEditorMode::New;
    // Reply: all of it; read receipt: the source's MsgId and DateTime only.
    TReplyContext Reply;
    TForwardContext Forward;
    TEditContext EditContext;
    int TearlineIndex = 0, OriginIndex = 0;
    // Number of this editor's draft in the store; -1 none.
    int32_t DraftNumber = -1;

    void SetFromName(const std::string& v);
    void SetToName(const std::string& v);
    void SetSubject(const std::string& v);
    void SetDestAddress(const std::string& v);
    // Appends the address when absent and selects it.
    void SelectAka(const std::string& aka);
    std::string FromName() const;
    std::string ToName() const;
    std::string Subject() const;
    std::string DestAddress() const;
    std::string SelectedAka() const;
    std::string BodyText() const;  // CR line ends, CP1251
    bool DestAddressShown() const;

    // Fills the controls for the mode and shows the window.
    void ShowEditor();

    bool Editing() const { return editing_; }
    int CursorOffset() const { return cursorOffset_; }
    // Leaves the preview phase ("Начать редактирование").
    void StartEditing();
    // Sends; true when every destination was written and the window is going.
    bool Send(bool skipSpelling = false);
    // Closes without asking (after sending, or when a destination area went away in edit mode).
    void Discard();
    // The area is going away (with its subtree): drop it from destinations and the reply context.
    void DropDestination(TAreaInfo& area);
    // Runs the pending preview now (tests; the event loop does it otherwise).
    void FlushPreview();
    // Number of template expansions so far (the benchmark counts them).
    int ExpansionCount() const { return expansions_; }
    TEditorCommands Commands() const;
    std::string CaretPanelText() const;
    // How many times editors asked the clipboard for its text (tests: a keystroke never does).
    static int ClipboardReadsForTesting;

    // The area chooser; the area manager's dialog installs it. Returns false when cancelled.
    static std::function<bool(QWidget*, std::vector<TAreaInfo*>&)> ChooseAreas;
    // The nodelist's addresses of a person (Enter in the To field): name -> addresses.
    static std::function<std::vector<std::string>(const std::string&)> FindAddressesByName;
    // The To button's address book: fills the chosen person's name and addresses; false without a choice.
    static std::function<bool(QWidget*, std::string& name, std::vector<std::string>& addresses)>
        PickAddressee;

private:
    QToolButton* ToButton = nullptr;    // the address book
    QToolButton* DestButton = nullptr;  // the destination chooser
    QLineEdit* Edit1 = nullptr;         // From
    QComboBox* ComboBox1 = nullptr;     // own address
    QToolButton* SpeedButton3 = nullptr;
    QLineEdit* Edit2 = nullptr;           // To
    QComboBox* ComboBox2 = nullptr;       // destination address
    QLineEdit* Edit3 = nullptr;           // Subject
    QLineEdit* ComboEdit1 = nullptr;      // destinations
    QLineEdit* ComboEdit2 = nullptr;      // flags
    QPushButton* Button1 = nullptr;       // start editing
    QToolButton* SpeedButton1 = nullptr;  // collapse the header
    QToolButton* SpeedButton2 = nullptr;  // expand it again
    QToolButton* SubjectFileButton = nullptr;
    QWidget* HeaderGroup = nullptr;
    QWidget* CollapsedGroup = nullptr;
    QLabel* CollapsedLabel = nullptr;

public:
    void SetHeaderCollapsed(bool collapsed);

private:
    QPlainTextEdit* RichEdit1 = nullptr;
    QLabel* StatusPanel0 = nullptr;
    // The "UUEncode" panel.
    QWidget* UUPanel = nullptr;
    QLabel* UUFileLabel = nullptr;
    QLabel* UUSizeLabel = nullptr;
    QLabel* UUCountLabel = nullptr;
    QSpinBox* SpinEdit1 = nullptr;
    QPushButton* BrowseBtn = nullptr;
    QPushButton* InsertBtn = nullptr;
    QPushButton* ClearBtn = nullptr;

public:
    std::vector<std::string> UUSections;
    bool UUPending = false, UUSplit = false;
    // Encodes the file for insertion (the "Выбрать файл..." choice); false with the error shown.
    bool ChooseUUFile(const QString& path);
    void InsertUU();
    void ClearUU();
    // Inserts a text file (up to 1 MB) at the caret; false with the error shown.
    bool InsertTextFileFrom(const QString& path);
    // Types the text (CP1251, any line ends) at the caret of the body.
    void InsertAtCaret(const std::string& text);

private:
    QAction* SendAction = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildWidgets();
    // "EditPlacement": the window opens where the last editor was closed.
    void RestorePosition();
    void StorePosition() const;
    void HeaderChanged();
    void SchedulePreview();
    void ShowPreview();
    void UpdateCommandStates();
    // Reads whether the clipboard holds text: once at the start and on each of its change notices,
    // never per keystroke (asking the X clipboard is a round trip to its owner).
    void ClipboardChanged();
    void RefreshDestinations();
    void AutoAkaToggled(bool down);
    void ToEnter();
    void PickFromAddressBook();
    void LeaveDestAddress();
    void InsertTextFile();
    void CutMarker();
    void EditFlags();
    void ChooseDestinations();
    void ShowListMenu(QPushButton* button, const std::string& section, int& index);
    TSendState BuildSendState() const;
    // Marks the characters of the body the bases cannot store and, when the letter has any, asks
    // whether to send them as '?'; false to go back to the letter.
    bool ConfirmStorableText();
    TTemplateInput BuildTemplateInput() const;
    void OpenBody();
    bool BodyKey(QKeyEvent* event);
    bool StartEditingKey(QKeyEvent* event);

    bool editing_ = false;
    bool discarding_ = false;
    bool previewPending_ = false;
    bool canPaste_ = false;
    int cursorOffset_ = 0;
    int expansions_ = 0;
    std::vector<std::string> robotNames_;
    std::map<const TAreaInfo*, std::vector<int>> onlyParts_;
    QPushButton* Button2 = nullptr;  // tearline
    QPushButton* Button3 = nullptr;  // origin
    QToolBar* toolbar_ = nullptr;
    QAction* undo_ = nullptr;
    QAction* redo_ = nullptr;
    QAction* cut_ = nullptr;
    QAction* copy_ = nullptr;
    QAction* paste_ = nullptr;
    QAction* insertFile_ = nullptr;
    QAction* cutMarker_ = nullptr;
    QAction* spell_ = nullptr;
    QAction* uuToggle_ = nullptr;
    void BuildUUPanel(QLayout* into);
};

// Every open editor, oldest first; the main window, the area manager and the draft store walk it.
const std::vector<TSendMessageForm*>& Editors();
// Drops the entry and its subtree from every editor (the area manager's hook before it frees them).
void DropAreaFromEditors(TAreaInfo& entry);

}  // namespace pelmar::ui
