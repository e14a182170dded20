#pragma once

#include <QDateEdit>

class QPushButton;

// The editor's date of birth, which may also be unknown: a contact imported
// without a birthday is stored with empty text, and opening it must neither
// complain nor invent a date. Unknown is the day before the earliest date the
// picker offers, shown as blank; it stays so until the user types or picks a
// date, and a user makes it so with Delete or Backspace on the whole date,
// Ctrl+Delete, or "No date" in the calendar.
//
// Dates are typed in the list's order, month, day, year, as digits
// ("03141985") or with any of the usual separators ("3/14/1985").
class BirthDateEdit : public QDateEdit {
    Q_OBJECT
public:
    explicit BirthDateEdit(QWidget* parent = nullptr);

    bool isUnknown() const;
    void setUnknown();
    // Opens the calendar, as Alt+Down and F4 do.
    void openCalendar();
    // "month", "day" or "year": what the part being typed in holds.
    QString currentPartName() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void describePart();
    void keepTypedDay();
    // A separator moves on to the next part, unless the digits typed just
    // before filled a part and moved on by themselves.
    bool mMovedOn = false;
    Section mLastTyped = NoSection;
    int mTypedDay = -1;
    int mYearDigits = 0;
    QPushButton* mNoDate = nullptr;
};
