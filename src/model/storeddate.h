#pragma once

#include <QDate>
#include <QLocale>
#include <QString>

// The date separator of the user's regional settings: "/" where that is a
// slash, "." in much of Europe, "-" in some; "/" when the format has none.
QString regionalDateSeparator(const QLocale& locale = QLocale());

// Month, day, year as two, two and four digits joined by the regional
// separator: the form a date of birth is stored in.
QString formatStoredDate(const QDate& date, const QLocale& locale = QLocale());

// Reads a stored date back, month first, whatever separator ("/", "." or "-")
// it was saved with, so a contact saved under one regional setting reads back
// as the same date under any other. Throws when the text is no such date.
QDate readStoredDate(const QString& text);

// The range the date picker accepts.
QDate earliestDate();
QDate latestDate();
