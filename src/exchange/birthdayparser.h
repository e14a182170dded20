#pragma once

#include <QDate>
#include <QString>

// Reads the many shapes of BDAY that programs write. Only a complete calendar
// date becomes a QDate; everything else is kept as text for the remarks.
class BirthdayParser {
public:
    enum class Kind { FullDate, NoYear, Text };

    struct Result {
        Kind kind = Kind::Text;
        QDate date;
        // What the remarks show: "--03-14" for a birthday without a year,
        // else the value.
        QString display;
    };

    static Result parse(const QString& value, bool isTextValue, const QString& omitYear);
};
