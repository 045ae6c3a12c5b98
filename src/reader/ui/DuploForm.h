#pragma once
// "Размножить письмо": the shown message's header and the address-book contacts to send it to.
#include <QDialog>
#include <vector>

#include "reader/Multiply.h"

class QPushButton;
class QTreeWidget;

namespace pelmar::ui {

class TDuploForm : public QDialog {
    Q_OBJECT

public:
    TDuploForm(const QString& from, const QString& to, const QString& subject, std::vector<TContact> contacts,
               QWidget* parent = nullptr);

    // The selected contacts in list order.
    std::vector<TContact> Chosen() const;

private:
    QTreeWidget* ListView1 = nullptr;
    QPushButton* SendButton = nullptr;

private:
    std::vector<TContact> contacts_;
};

}  // namespace pelmar::ui
