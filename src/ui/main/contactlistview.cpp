#include "ui/main/contactlistview.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>

ContactListView::ContactListView(QWidget* parent) : QTableView(parent)
{
    setDragEnabled(true);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDropIndicatorShown(false);
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
