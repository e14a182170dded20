#include "ui/pointerfeedback.h"

#include <QEvent>
#include <QWidget>

#include "base/mousepointer.h"

PointerFeedback::PointerFeedback(QWidget* window) : QObject(window), mWindow(window)
{
    watchSurface(window);
}

void PointerFeedback::setPointer(int pointer)
{
    mPointer = pointer;
    apply();
}

void PointerFeedback::setHandCursor(const QCursor& cursor)
{
    mHand = cursor;
    mHasHand = true;
    apply();
}

void PointerFeedback::watchButton(QWidget* button)
{
    button->setMouseTracking(true);
    button->setProperty("rondexaPointerButton", true);
    button->installEventFilter(this);
}

void PointerFeedback::watchSurface(QWidget* surface)
{
    surface->setMouseTracking(true);
    surface->installEventFilter(this);
}

void PointerFeedback::apply()
{
    if (mPointer == pointer::kHourglass)
        mWindow->setCursor(Qt::WaitCursor);
    else if (mPointer == pointer::kCustom && mHasHand)
        mWindow->setCursor(mHand);
    else
        mWindow->setCursor(Qt::ArrowCursor);
}

bool PointerFeedback::eventFilter(QObject* watched, QEvent* event)
{
    if ((event->type() == QEvent::MouseMove || event->type() == QEvent::Enter) && mPointer != pointer::kHourglass) {
        const int wanted = watched->property("rondexaPointerButton").toBool() ? pointer::kCustom : pointer::kDefault;
        if (wanted != mPointer)
            setPointer(wanted);
    }
    return QObject::eventFilter(watched, event);
}
