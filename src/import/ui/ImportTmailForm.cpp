#include "import/ui/ImportTmailForm.h"

#include <QLabel>
#include <QVBoxLayout>

namespace pelmar::ui {

TImportTmailForm::TImportTmailForm(QWidget* parent)
    : TImportDialog(QStringLiteral("Импорт конфигурации T-Mail 2600+"),
                    QStringLiteral("Укажите файл конфигурации T-MAIL.CTL:"),
                    QStringLiteral("Файл конфигурации T-MAIL.CTL|T-MAIL.CTL"), "TMailFile",
                    QStringLiteral("Импорт"), parent) {
    ExplainLabel = new QLabel(QStringLiteral("Импорт будет производиться в текущую область, при этом\n"
                                             "будет импортирован каталог нетмейла и mailbox'ы T-mail'а."),
                              this);
    ExplainLabel->setObjectName(QStringLiteral("ExplainLabel"));
    Body->addWidget(ExplainLabel);
}

}  // namespace pelmar::ui
