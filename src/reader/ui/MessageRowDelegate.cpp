#include "reader/ui/MessageRowDelegate.h"

#include <QApplication>
#include <QPainter>

#include "core/Settings.h"
#include "core/ui/QtText.h"
#include "reader/MessageClass.h"
#include "reader/ThreadList.h"
#include "reader/ui/HeaderControl.h"
#include "reader/ui/Icons.h"
#include "reader/ui/MessageListModel.h"
#include "reader/ui/Palette.h"

namespace pelmar::ui {

namespace {

constexpr int kIconSize = 14;

void DrawText(QPainter& painter, const QRect& rect, const QString& text) {
    if (rect.width() <= 0) return;
    const QString shown = painter.fontMetrics().elidedText(text, Qt::ElideRight, rect.width());
    painter.drawText(rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}

}  // namespace

TMessageRowDelegate::TMessageRowDelegate(THeaderControl& header, QObject* parent)
    : QStyledItemDelegate(parent), header_(header) {}

QSize TMessageRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    QFont bold = option.font;
    bold.setBold(true);
    const int height = std::max(QFontMetrics(bold).height() + 2, kIconSize + 2);
    return {header_.TotalWidth(), height};
}

void TMessageRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    const auto* entry =
        reinterpret_cast<const TMessageClass*>(index.data(TMessageListModel::EntryRole).value<quintptr>());
    if (entry == nullptr) return;
    painter->save();
    const QRect row = option.rect;
    const QPalette& palette = option.palette;
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    const std::string& fullName = Settings.FullName;
    const bool personal = TThreadList::IsPersonal(*entry, fullName);

    // Background and text colour.
    const QPalette::ColorGroup group =
        option.state.testFlag(QStyle::State_Active) ? QPalette::Active : QPalette::Inactive;
    painter->fillRect(
        row, selected ? palette.color(group, QPalette::Highlight) : palette.color(group, QPalette::Base));
    QColor text =
        selected ? palette.color(group, QPalette::HighlightedText) : palette.color(group, QPalette::Text);
    if (entry->Deleted) {
        text = DeletedTextColor(palette);
    } else if (personal && !selected) {
        text = PersonalTextColor(palette);
    }
    painter->setPen(text);

    // Pictures, in the icon column, indented by depth.
    const int left = row.left() + header_.SectionLeft(0);
    int x = left + std::max(entry->Level, 0) * RowIndent;
    const int iconTop = row.top() + (row.height() - kIconSize) / 2;
    const int expander = TThreadList::ExpanderIcon(*entry);
    if (expander >= 0) ListIcon(expander).paint(painter, QRect(x + 1, iconTop, kIconSize, kIconSize));
    x += RowIndent;
    ListIcon(TThreadList::StatusIcon(*entry, fullName))
        .paint(painter, QRect(x + 1, iconTop, kIconSize, kIconSize));
    x += RowIndent;

    // Subject: bold while unread, up to the end of the "Тема" section.
    QFont font = option.font;
    font.setBold(!entry->Deleted && !entry->Read);
    painter->setFont(font);
    const int subjectRight =
        row.left() + header_.SectionLeft(SectionSubject) + header_.SectionWidth(SectionSubject) - 2;
    DrawText(*painter, QRect(x + 3, row.top(), subjectRight - (x + 3), row.height()), ToQt(entry->Subject));

    // The other columns in normal weight.
    font.setBold(false);
    painter->setFont(font);
    const auto column = [&](int section) {
        const int start = row.left() + header_.SectionLeft(section) + 4;
        const int width = header_.SectionWidth(section) - 8;
        return QRect(start, row.top(), width, row.height());
    };
    DrawText(*painter, column(SectionFrom), index.data(TMessageListModel::FromRole).toString());
    DrawText(*painter, column(SectionTo), index.data(TMessageListModel::ToRole).toString());
    DrawText(*painter, column(SectionDate), index.data(TMessageListModel::DateRole).toString());

    if (option.state.testFlag(QStyle::State_HasFocus)) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.rect =
            row.adjusted(left - row.left() + std::max(entry->Level, 0) * RowIndent + 2 * RowIndent, 0, 0, 0);
        focus.state |= QStyle::State_KeyboardFocusChange;
        focus.backgroundColor =
            selected ? palette.color(group, QPalette::Highlight) : palette.color(group, QPalette::Base);
        const QWidget* widget = option.widget;
        QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
    }
    painter->restore();
}

}  // namespace pelmar::ui
