#include "ui/editor/birthdateedit.h"

#include <utility>

#include <QApplication>
#include <QCalendarWidget>
#include <QEvent>
#include <QKeyEvent>
#include <QLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionComboBox>

#include "model/storeddate.h"

namespace {

QDate unknownDate()
{
    return earliestDate().addDays(-1);
}

// The calendar of an unknown date opens at the start of the decade most of
// the people one knows were born in, not on the sixteenth century's last page.
const int kTypicalAge = 30;

bool isSeparatorKey(const QString& text)
{
    return text.size() == 1 && QStringLiteral("/.-, ").contains(text.at(0));
}

} // namespace

BirthDateEdit::BirthDateEdit(QWidget* parent) : QDateEdit(parent)
{
    setCalendarPopup(true);
    setDateRange(unknownDate(), latestDate());
    // The list's order, whatever the regional one: a date is typed as it is
    // read in the list beside it.
    const QString separator = regionalDateSeparator();
    setDisplayFormat(QStringLiteral("MM") + separator + QStringLiteral("dd") + separator + QStringLiteral("yyyy"));
    // A blank, not an empty text: an empty special text means "none".
    setSpecialValueText(QStringLiteral(" "));
    QCalendarWidget* calendar = calendarWidget();
    calendar->installEventFilter(this);
    mNoDate = new QPushButton(QStringLiteral("No date"), calendar);
    mNoDate->setObjectName(QStringLiteral("noDate"));
    calendar->layout()->addWidget(mNoDate);
    connect(mNoDate, &QPushButton::clicked, this, [this] {
        setUnknown();
        calendarWidget()->window()->hide();
        setFocus(Qt::PopupFocusReason);
    });
    connect(lineEdit(), &QLineEdit::cursorPositionChanged, this, &BirthDateEdit::describePart);
    connect(this, &QDateEdit::dateChanged, this, &BirthDateEdit::describePart);
    describePart();
}

bool BirthDateEdit::isUnknown() const
{
    return date() == unknownDate();
}

void BirthDateEdit::setUnknown()
{
    setDate(unknownDate());
}

QString BirthDateEdit::currentPartName() const
{
    if (isUnknown())
        return QStringLiteral("no date");
    switch (currentSection()) {
    case QDateTimeEdit::MonthSection:
        return QStringLiteral("month");
    case QDateTimeEdit::DaySection:
        return QStringLiteral("day");
    default:
        return QStringLiteral("year");
    }
}

// A screen reader says the description of the focused field when it changes:
// the user hears which part the digits go to.
void BirthDateEdit::describePart()
{
    const QString part = currentPartName();
    if (accessibleDescription() != part)
        setAccessibleDescription(part);
}

void BirthDateEdit::openCalendar()
{
    // Qt opens the calendar only for a click on the arrow (or a keypad's
    // key): the keyboard gets the same click.
    QStyleOptionComboBox option;
    option.initFrom(this);
    option.editable = true;
    option.subControls = QStyle::SC_All;
    const QPoint arrow = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, this).center();
    QMouseEvent press(QEvent::MouseButtonPress, arrow, mapToGlobal(arrow), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(this, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, arrow, mapToGlobal(arrow), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(this, &release);
}

void BirthDateEdit::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if (key == Qt::Key_F4 || (key == Qt::Key_Down && modifiers == Qt::AltModifier)) {
        openCalendar();
        return;
    }
    if (key == Qt::Key_Delete || key == Qt::Key_Backspace) {
        const bool whole = lineEdit()->hasSelectedText() && lineEdit()->selectedText() == lineEdit()->text();
        if (modifiers == Qt::ControlModifier || whole || isUnknown()) {
            setUnknown();
            lineEdit()->selectAll();
            return;
        }
    }
    const QString text = event->text();
    if (modifiers == Qt::NoModifier || modifiers == Qt::ShiftModifier) {
        if (isSeparatorKey(text)) {
            if (!std::exchange(mMovedOn, false) && !isUnknown() && currentSectionIndex() + 1 < sectionCount()) {
                setCurrentSectionIndex(currentSectionIndex() + 1);
                setSelectedSection(currentSection());
            }
            return;
        }
        if (text.size() == 1 && text.at(0).isDigit()) {
            // The first digit of an unknown date starts a date at its month;
            // the parts typed after it replace what this one holds.
            if (isUnknown()) {
                mTypedDay = -1;
                setDate(QDate(2000, 1, 1));
                setCurrentSection(QDateTimeEdit::MonthSection);
                setSelectedSection(QDateTimeEdit::MonthSection);
            }
            const int before = currentSectionIndex();
            const Section section = currentSection();
            const int digit = text.at(0).digitValue();
            mTypedDay = section != DaySection ? mTypedDay : mLastTyped == DaySection ? mTypedDay * 10 + digit : digit;
            mYearDigits = section != YearSection ? 0 : mLastTyped == YearSection ? mYearDigits + 1 : 1;
            mLastTyped = section;
            QDateEdit::keyPressEvent(event);
            mMovedOn = currentSectionIndex() != before;
            if (mYearDigits == 4)
                keepTypedDay();
            return;
        }
    }
    mMovedOn = false;
    mLastTyped = NoSection;
    QDateEdit::keyPressEvent(event);
}

// Qt shortens the day to the month and year shown while they are typed
// (02/29 of this year becomes 02/28); once the whole year typed after it
// allows the day, it is the day typed.
void BirthDateEdit::keepTypedDay()
{
    const QDate shown = date();
    if (mTypedDay < 1 || shown.day() == mTypedDay || !QDate::isValid(shown.year(), shown.month(), mTypedDay))
        return;
    const int section = currentSectionIndex();
    const int cursor = lineEdit()->cursorPosition();
    setDate(QDate(shown.year(), shown.month(), mTypedDay));
    setCurrentSectionIndex(section);
    lineEdit()->setCursorPosition(cursor);
}

bool BirthDateEdit::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == calendarWidget() && event->type() == QEvent::Show && isUnknown()) {
        const int year = (QDate::currentDate().year() - kTypicalAge) / 10 * 10;
        calendarWidget()->setCurrentPage(year, 1);
    }
    return QDateEdit::eventFilter(watched, event);
}
