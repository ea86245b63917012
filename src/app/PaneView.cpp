#include "app/PaneView.h"

#include <QStyledItemDelegate>

// Measuring every line as it arrives would cost more than the whole append (a text layout per line);
// the rows that are painted are measured anyway, and a wider one widens every row.
class PaneView::RowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setWidth(qMax(size.width(), m_widest));
        return size;
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const int width = QStyledItemDelegate::sizeHint(option, index).width();
        if (width > m_widest) {
            m_widest = width;
            widenRowsLater();
        }
        QStyledItemDelegate::paint(painter, option, index);
    }

    // The pane was emptied: its rows narrow to the lines that come next.
    void forgetWidest() { m_widest = 0; }

private:
    // The view lays its rows out again when the size changes, which it must not do while painting.
    void widenRowsLater() const
    {
        if (m_widenPending)
            return;
        m_widenPending = true;
        auto* self = const_cast<RowDelegate*>(this);
        QMetaObject::invokeMethod(
            self,
            [self] {
                self->m_widenPending = false;
                Q_EMIT self->sizeHintChanged(QModelIndex());
            },
            Qt::QueuedConnection);
    }

    mutable int m_widest = 0;
    mutable bool m_widenPending = false;
};

PaneView::PaneView(QWidget* parent)
    : QListView(parent)
    , m_delegate(new RowDelegate(this))
{
    setItemDelegate(m_delegate);
    setUniformItemSizes(true);
}

void PaneView::setModel(QAbstractItemModel* model)
{
    QListView::setModel(model);
    if (model)
        connect(model, &QAbstractItemModel::modelReset, m_delegate, &RowDelegate::forgetWidest);
}
