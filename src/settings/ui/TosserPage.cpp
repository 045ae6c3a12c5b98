#include "settings/ui/TosserPage.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/Settings.h"
#include "core/ui/QtText.h"
#include "core/ui/SlotGuard.h"
#include "editor/ui/AfterSendRunner.h"

namespace pelmar::ui {

namespace {

QPushButton* BrowseButton(QLineEdit* edit, const char* name, QWidget* parent) {
    auto* button = new QPushButton(QStringLiteral("Обзор..."), parent);
    button->setObjectName(QString::fromLatin1(name));
    GuardedConnect(button, &QPushButton::clicked, parent, [edit, parent] {
        // The file may not exist yet: the tosser removes it after reading it.
        const QString file =
            QFileDialog::getSaveFileName(parent, QStringLiteral("Выбор файла"), edit->text(), QString(),
                                         nullptr, QFileDialog::DontConfirmOverwrite);
        if (!file.isEmpty()) edit->setText(file);
    });
    return button;
}

}  // namespace

TTosserPage::TTosserPage(QWidget* parent) : QWidget(parent) {
    auto* lists = new QGroupBox(QStringLiteral("Сообщать тоссеру о новых письмах"), this);
    echoTossLog_ = new QLineEdit(lists);
    echoTossLog_->setObjectName(QStringLiteral("EchoTossLogEdit"));
    echoTossLog_->setPlaceholderText(QStringLiteral("не вести"));
    auto* echoTossLabel = new QLabel(QStringLiteral("Файл &echotoss.log:"), lists);
    echoTossLabel->setBuddy(echoTossLog_);
    QPushButton* echoTossBrowse = BrowseButton(echoTossLog_, "EchoTossLogBrowse", lists);
    useEchomailJam_ = new QCheckBox(QStringLiteral("Письма в базы &JAM записывать в echomail.jam:"), lists);
    useEchomailJam_->setObjectName(QStringLiteral("EchomailJamCheck"));
    echomailJam_ = new QLineEdit(lists);
    echomailJam_->setObjectName(QStringLiteral("EchomailJamEdit"));
    echomailJamBrowse_ = BrowseButton(echomailJam_, "EchomailJamBrowse", lists);
    auto* listsLayout = new QGridLayout(lists);
    listsLayout->addWidget(echoTossLabel, 0, 0);
    listsLayout->addWidget(echoTossLog_, 0, 1);
    listsLayout->addWidget(echoTossBrowse, 0, 2);
    listsLayout->addWidget(useEchomailJam_, 1, 0);
    listsLayout->addWidget(echomailJam_, 1, 1);
    listsLayout->addWidget(echomailJamBrowse_, 1, 2);

    auto* after = new QGroupBox(QStringLiteral("Команда после отправки"), this);
    afterSendCommand_ = new QLineEdit(after);
    afterSendCommand_->setObjectName(QStringLiteral("AfterSendCommandEdit"));
    afterSendCommand_->setPlaceholderText(QStringLiteral("например: crashmail SCAN или hpt scan"));
    auto* commandLabel = new QLabel(QStringLiteral("&Команда:"), after);
    commandLabel->setBuddy(afterSendCommand_);
    afterSendLog_ = new QPushButton(QStringLiteral("&Журнал команды..."), after);
    afterSendLog_->setObjectName(QStringLiteral("AfterSendLogButton"));
    auto* note =
        new QLabel(QStringLiteral("Выполняется через /bin/sh один раз после каждой отправки, не "
                                  "задерживая работу. Её вывод и код завершения пишутся в журнал "
                                  "aftersend.log в папке данных; о неудаче сообщает строка состояния."),
                   after);
    note->setWordWrap(true);
    auto* afterLayout = new QGridLayout(after);
    afterLayout->addWidget(commandLabel, 0, 0);
    afterLayout->addWidget(afterSendCommand_, 0, 1);
    afterLayout->addWidget(afterSendLog_, 0, 2);
    afterLayout->addWidget(note, 1, 0, 1, 3);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lists);
    layout->addWidget(after);
    layout->addStretch();
    GuardedConnect(useEchomailJam_, &QCheckBox::toggled, this, [this] { UpdateControls(); });
    GuardedConnect(afterSendLog_, &QPushButton::clicked, this, [this] { ShowAfterSendLog(window()); });
}

void TTosserPage::Load(const TSettings& s) {
    echoTossLog_->setText(ToQt(s.EchoTossLog));
    useEchomailJam_->setChecked(s.bEchomailJam);
    echomailJam_->setText(ToQt(s.EchomailJam));
    afterSendCommand_->setText(ToQt(s.AfterSendCommand));
    UpdateControls();
}

void TTosserPage::Store(TSettings& s) const {
    s.EchoTossLog = FromQt(echoTossLog_->text().trimmed());
    s.bEchomailJam = useEchomailJam_->isChecked();
    s.EchomailJam = FromQt(echomailJam_->text().trimmed());
    s.AfterSendCommand = FromQt(afterSendCommand_->text().trimmed());
}

void TTosserPage::UpdateControls() {
    echomailJam_->setEnabled(useEchomailJam_->isChecked());
    echomailJamBrowse_->setEnabled(useEchomailJam_->isChecked());
}

}  // namespace pelmar::ui
