#include "ui/main/contactlistview.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QUrl>

ContactListView::ContactListView(QWidget* parent) : QTableView(parent)
{
    setDragEnabled(true);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDropIndicatorShown(false);
    // Tab leaves the list for the window's next control; the arrows move
    // within it.
    setTabKeyNavigation(false);
}

void ContactListView::setEmptyHint(const QString& hint)
{
    if (hint == mEmptyHint)
        return;
    mEmptyHint = hint;
    viewport()->update();
}

void ContactListView::paintEvent(QPaintEvent* event)
{
    QTableView::paintEvent(event);
    if (mEmptyHint.isEmpty() || (model() && model()->rowCount() > 0))
        return;
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::PlaceholderText));
    const int margin = fontMetrics().height();
    painter.drawText(viewport()->rect().adjusted(margin, margin, -margin, -margin),
                     Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, mEmptyHint);
}

void ContactListView::takeCurrentRow()
{
    if (!model() || model()->rowCount() == 0)
        return;
    const QModelIndex current = currentIndex();
    if (current.isValid() && selectionModel()->isRowSelected(current.row()) && !isColumnHidden(current.column()))
        return;
    const QModelIndexList selected = selectionModel()->selectedRows();
    const int row = current.isValid() && selectionModel()->isRowSelected(current.row()) ? current.row()
                    : selected.isEmpty()                                                ? 0
                                                                                        : selected.first().row();
    int column = 0;
    while (column + 1 < model()->columnCount() && isColumnHidden(column))
        ++column;
    selectionModel()->setCurrentIndex(model()->index(row, column),
                                      selected.isEmpty()
                                          ? QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows
                                          : QItemSelectionModel::NoUpdate);
    scrollTo(currentIndex());
}

void ContactListView::focusInEvent(QFocusEvent* event)
{
    // Entering the list lands on a contact, selected and shown as the
    // keyboard's place, so that Enter, Delete and the arrows start there.
    QTableView::focusInEvent(event);
    takeCurrentRow();
}

QStringList droppedVCardFiles(const QMimeData& data)
{
    QStringList files;
    for (const QUrl& url : data.urls()) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile();
        const QString suffix = QFileInfo(path).suffix().toLower();
        if (suffix == QLatin1String("vcf") || suffix == QLatin1String("vcard"))
            files << path;
    }
    return files;
}

void ContactListView::keyPressEvent(QKeyEvent* event)
{
    // The desktop's other key for the context menu besides the Menu key.
    if (event->key() == Qt::Key_F10 && (event->modifiers() & ~Qt::KeypadModifier) == Qt::ShiftModifier) {
        takeCurrentRow();
        const QRect cell = visualRect(currentIndex());
        emit customContextMenuRequested(cell.isValid() ? cell.center() : QPoint(0, 0));
        return;
    }
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        if (event->key() == Qt::Key_Delete) {
            emit deletePressed();
            return;
        }
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            emit enterPressed();
            return;
        }
    }
    QTableView::keyPressEvent(event);
}

void ContactListView::startDrag(Qt::DropActions)
{
    QMimeData* carried = mDragData ? mDragData() : nullptr;
    if (!carried)
        return;
    auto* drag = new QDrag(this);
    drag->setMimeData(carried);
    // A copy: the contacts stay in the list whatever the target does.
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

void ContactListView::dragEnterEvent(QDragEnterEvent* event)
{
    // Rows dragged within the list itself are no import.
    if (event->source() != this && !droppedVCardFiles(*event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void ContactListView::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->source() != this && !droppedVCardFiles(*event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void ContactListView::dropEvent(QDropEvent* event)
{
    const QStringList files = droppedVCardFiles(*event->mimeData());
    if (event->source() == this || files.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    emit filesDropped(files);
}
