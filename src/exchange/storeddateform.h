#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QLocale>
#include <QString>

// The form a date of birth is stored in (formatStoredDate), made and
// recognised with the regional separator looked up once: import and export
// meet a date on nearly every contact, and the model's functions ask the
// locale for its format every time.
class StoredDateForm {
public:
    explicit StoredDateForm(const QLocale& locale = QLocale());

    // What formatStoredDate makes of the date.
    QString text(const QDate& date) const;
    // The same as UTF-8, added to out.
    void appendUtf8(int year, int month, int day, QByteArray& out) const;
    // The date whose stored form is exactly text; invalid for any other text,
    // also for one that readStoredDate reads but that would be stored
    // differently ("4/5/1978", another separator).
    QDate dateOf(QByteArrayView utf8) const;

private:
    QString mSeparator;
    QByteArray mUtf8Separator;
    // The separator as one byte, when it is one readStoredDate reads; 0
    // when no stored date can be read back.
    char mReadableSeparator = 0;
};
