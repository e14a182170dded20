#pragma once

#include <QCursor>
#include <QObject>

class QWidget;

// A window's mouse pointer: 0 the default arrow, 11 the hourglass while a
// command works, 99 the hand over buttons. Mouse moves switch between arrow
// and hand but never replace a showing hourglass.
class PointerFeedback : public QObject {
    Q_OBJECT
public:
    explicit PointerFeedback(QWidget* window);

    int pointer() const { return mPointer; }
    void setPointer(int pointer);

    void setHandCursor(const QCursor& cursor);
    bool hasHandCursor() const { return mHasHand; }

    // Moves over these show the hand; moves over the others the arrow.
    void watchButton(QWidget* button);
    void watchSurface(QWidget* surface);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void apply();

    QWidget* mWindow;
    int mPointer = 0;
    QCursor mHand;
    bool mHasHand = false;
};
