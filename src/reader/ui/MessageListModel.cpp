#include "reader/ui/MessageListModel.h"

#include <QMimeData>

#include <cmath>

#include "core/ui/QtText.h"
#include "reader/MessageClass.h"
#include "reader/MessageDates.h"
#include "reader/ThreadList.h"

namespace pelmar::ui {

TMessageListModel::TMessageListModel(TThreadList& list, QObject* parent)
    : QAbstractListModel(parent), list_(list), rows_(static_cast<int>(list.Rows.size())) {}

int TMessageListModel::Count() const {
    return rows_;
}

const TMessageClass* TMessageListModel::EntryAt(int row) const {
    if (changing_ != 0 || row < 0 || row >= rows_ || row >= static_cast<int>(list_.Rows.size()))
        return nullptr;
    return list_.Rows[static_cast<size_t>(row)];
}

void TMessageListModel::BeginReset() {
    ++changing_;
    beginResetModel();
}

void TMessageListModel::EndReset() {
    rows_ = static_cast<int>(list_.Rows.size());
    --changing_;
    endResetModel();
}

void TMessageListModel::BeginInsert(int first, int last) {
    ++changing_;
    beginInsertRows({}, first, last);
}

void TMessageListModel::EndInsert() {
    rows_ = static_cast<int>(list_.Rows.size());
    --changing_;
    endInsertRows();
}

void TMessageListModel::BeginRemove(int first, int last) {
    ++changing_;
    beginRemoveRows({}, first, last);
}

void TMessageListModel::EndRemove() {
    rows_ = static_cast<int>(list_.Rows.size());
    --changing_;
    endRemoveRows();
}

void TMessageListModel::Changed(int first, int last) {
    if (rows_ == 0) return;
    first = std::max(first, 0);
    last = std::min(last, rows_ - 1);
    if (first > last) return;
    emit dataChanged(index(first), index(last));
}

QString TMessageListModel::DateText(double date) {
    return ToQt(ListDateText(date));
}

int TMessageListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Count();
}

QVariant TMessageListModel::data(const QModelIndex& index, int role) const {
    const TMessageClass* entry = EntryAt(index.row());
    if (entry == nullptr) return {};
    switch (role) {
        case Qt::DisplayRole:
            return ToQt(entry->Subject);
        case EntryRole:
            return QVariant::fromValue(reinterpret_cast<quintptr>(entry));
        case FromRole:
            return ToQt(entry->FromName);
        case ToRole:
            return ToQt(entry->ToName);
        case DateRole:
            return DateText(entry->Date);
        default:
            return {};
    }
}

Qt::ItemFlags TMessageListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

const char* const TMessageListModel::RowsMimeType = "application/x-pelmar-message-rows";

QStringList TMessageListModel::mimeTypes() const {
    return {QString::fromLatin1(RowsMimeType)};
}

QMimeData* TMessageListModel::mimeData(const QModelIndexList& indexes) const {
    QStringList rows;
    for (const QModelIndex& index : indexes) rows << QString::number(index.row());
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(RowsMimeType), rows.join(QLatin1Char(',')).toLatin1());
    return data;
}

}  // namespace pelmar::ui
