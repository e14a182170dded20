#include "exchange/birthdayparser.h"

namespace {

bool allDigits(QStringView text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

QString noYear(int month, int day)
{
    return QStringLiteral("--%1-%2").arg(month, 2, 10, QLatin1Char('0')).arg(day, 2, 10, QLatin1Char('0'));
}

// MMDD and MM-DD, the two spellings of a date without a year.
bool parseMonthDay(QStringView text, int* month, int* day)
{
    if (text.size() == 4 && allDigits(text)) {
        *month = text.left(2).toInt();
        *day = text.mid(2).toInt();
    } else if (text.size() == 5 && text[2] == u'-' && allDigits(text.left(2)) && allDigits(text.mid(3))) {
        *month = text.left(2).toInt();
        *day = text.mid(3).toInt();
    } else {
        return false;
    }
    // 2000 is a leap year, so 29 February stays valid.
    return QDate(2000, *month, *day).isValid();
}

QDate parseFullDate(QStringView text)
{
    if (text.size() == 8 && allDigits(text))
        return QDate(text.left(4).toInt(), text.mid(4, 2).toInt(), text.mid(6, 2).toInt());
    if (text.size() == 10 && text[4] == u'-' && text[7] == u'-' && allDigits(text.left(4)) &&
        allDigits(text.mid(5, 2)) && allDigits(text.mid(8, 2)))
        return QDate(text.left(4).toInt(), text.mid(5, 2).toInt(), text.mid(8, 2).toInt());
    return QDate();
}

} // namespace

BirthdayParser::Result BirthdayParser::parse(const QString& value, bool isTextValue, const QString& omitYear)
{
    Result result;
    const QStringView trimmed = QStringView(value).trimmed();
    result.display = trimmed.toString();
    if (isTextValue || trimmed.isEmpty())
        return result;
    const qsizetype timeMark = trimmed.indexOf(u'T');
    const QStringView datePart = timeMark >= 0 ? trimmed.left(timeMark) : trimmed;
    if (datePart.startsWith(u"--")) {
        int month = 0;
        int day = 0;
        if (parseMonthDay(datePart.mid(2), &month, &day)) {
            result.kind = Kind::NoYear;
            result.display = noYear(month, day);
        }
        return result;
    }
    const QDate date = parseFullDate(datePart);
    if (!date.isValid())
        return result;
    // Apple writes a birthday without a year as 1604-MM-DD and names that
    // year in a parameter.
    if (!omitYear.isEmpty() && omitYear.toInt() == date.year()) {
        result.kind = Kind::NoYear;
        result.display = noYear(date.month(), date.day());
        return result;
    }
    result.kind = Kind::FullDate;
    result.date = date;
    return result;
}
