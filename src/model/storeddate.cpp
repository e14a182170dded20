#include "model/storeddate.h"

#include "base/apperror.h"

QDate earliestDate()
{
    return QDate(1601, 1, 1);
}

QDate latestDate()
{
    return QDate(9999, 12, 31);
}

QString regionalDateSeparator(const QLocale& locale)
{
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    // Right-to-left formats carry invisible direction marks beside their
    // separators; those are no separator a stored date could be read by.
    for (const QChar c : format) {
        if (!c.isLetterOrNumber() && !c.isSpace() && !c.isMark() && c.category() != QChar::Other_Format &&
            c != QLatin1Char('\''))
            return QString(c);
    }
    return QStringLiteral("/");
}

QString formatStoredDate(const QDate& date, const QLocale& locale)
{
    const QString separator = regionalDateSeparator(locale);
    return QStringLiteral("%1%2%3%4%5")
        .arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(separator)
        .arg(date.day(), 2, 10, QLatin1Char('0'))
        .arg(separator)
        .arg(date.year(), 4, 10, QLatin1Char('0'));
}

QDate readStoredDate(const QString& text)
{
    const auto fail = [&text]() {
        return AppError(QStringLiteral("\"%1\" is not a date of the form month/day/year").arg(text.left(64)),
                        AppError::kTypeMismatch);
    };
    // Digits, one separator, digits, the same separator, four digits.
    int parts[3] = {0, 0, 0};
    int digits[3] = {0, 0, 0};
    int part = 0;
    QChar separator;
    for (const QChar c : text) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            if (++digits[part] > 4)
                throw fail();
            parts[part] = parts[part] * 10 + (c.unicode() - '0');
        } else if (c == QLatin1Char('/') || c == QLatin1Char('.') || c == QLatin1Char('-')) {
            if (part == 2 || digits[part] == 0 || (part == 1 && c != separator))
                throw fail();
            separator = c;
            ++part;
        } else {
            throw fail();
        }
    }
    if (part != 2 || digits[0] > 2 || digits[1] > 2 || digits[2] != 4)
        throw fail();
    const QDate date(parts[2], parts[0], parts[1]);
    if (!date.isValid() || date < earliestDate() || date > latestDate())
        throw fail();
    return date;
}
