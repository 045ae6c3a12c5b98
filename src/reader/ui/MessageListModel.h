#pragma once
// The message list as a flat Qt item model over TThreadList::Rows: row i is Rows[i]. The thread
// list tells the model about row changes through the observer calls the window forwards here.
#include <QAbstractListModel>

namespace pelmar {
class TThreadList;
class TMessageClass;
}  // namespace pelmar

namespace pelmar::ui {

class TMessageListModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum Roles {
        EntryRole = Qt::UserRole + 1,  // const TMessageClass* as quintptr
        FromRole,
        ToRole,
        DateRole,  // the written date in the user's locale
    };

    explicit TMessageListModel(TThreadList& list, QObject* parent = nullptr);

    const TMessageClass* EntryAt(int row) const;

    // Forwarded from the thread list's observer.
    void BeginReset();
    void EndReset();
    void BeginInsert(int first, int last);
    void EndInsert();
    void BeginRemove(int first, int last);
    void EndRemove();
    void Changed(int first, int last);

    // The written date as the date column shows it ("yyyy.mm.dd hh:mm:ss").
    static QString DateText(double date);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Dragged rows carry their row numbers under RowsMimeType (the bookmarks window takes them).
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    static const char* const RowsMimeType;

private:
    // Rows as the view last heard of them: the list may be mid-change between Begin* and End*.
    int Count() const;

    TThreadList& list_;
    int rows_ = 0;
    int changing_ = 0;
};

}  // namespace pelmar::ui
