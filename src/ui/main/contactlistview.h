#pragma once

#include <functional>

#include <QStringList>
#include <QTableView>

class QMimeData;

// The contact list's view: the keys, drags and drops a list of contacts is
// expected to take, handed to the window as signals.
class ContactListView : public QTableView {
    Q_OBJECT
public:
    explicit ContactListView(QWidget* parent = nullptr);

    // What a drag of the selected rows carries; none when it returns null.
    void setDragData(std::function<QMimeData*()> makeData) { mDragData = std::move(makeData); }
    // What the list says in its own area while it has no rows.
    void setEmptyHint(const QString& hint);
    // Makes a row current and selected, in its first shown column, when
    // none is: the one selected before, else the first.
    void takeCurrentRow();

signals:
    void deletePressed();
    void enterPressed();
    // Local vCard files dropped on the list.
    void filesDropped(const QStringList& files);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    std::function<QMimeData*()> mDragData;
    QString mEmptyHint;
};

// The local files among dropped data that look like vCard files.
QStringList droppedVCardFiles(const QMimeData& data);
