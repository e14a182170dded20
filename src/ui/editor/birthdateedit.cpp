#include "ui/editor/birthdateedit.h"

#include <QCalendarWidget>
#include <QEvent>

#include "model/storeddate.h"

namespace {

QDate unknownDate()
{
    return earliestDate().addDays(-1);
}

} // namespace

BirthDateEdit::BirthDateEdit(QWidget* parent) : QDateEdit(parent)
{
    setCalendarPopup(true);
    setDateRange(unknownDate(), latestDate());
    // A blank, not an empty text: an empty special text means "none".
    setSpecialValueText(QStringLiteral(" "));
    calendarWidget()->installEventFilter(this);
}

bool BirthDateEdit::isUnknown() const
{
    return date() == unknownDate();
}

void BirthDateEdit::setUnknown()
{
    setDate(unknownDate());
}

bool BirthDateEdit::eventFilter(QObject* watched, QEvent* event)
{
    // The calendar of an unknown date opens on this month, not on the
    // sixteenth century's last page.
    if (watched == calendarWidget() && event->type() == QEvent::Show && isUnknown())
        calendarWidget()->setCurrentPage(QDate::currentDate().year(), QDate::currentDate().month());
    return QDateEdit::eventFilter(watched, event);
}
