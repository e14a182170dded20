#include "exchange/storeddateform.h"

#include "model/storeddate.h"

StoredDateForm::StoredDateForm(const QLocale& locale)
    : mSeparator(regionalDateSeparator(locale)), mUtf8Separator(mSeparator.toUtf8())
{
    if (mSeparator == u"/" || mSeparator == u"." || mSeparator == u"-")
        mReadableSeparator = static_cast<char>(mSeparator[0].unicode());
}

QString StoredDateForm::text(const QDate& date) const
{
    QString text;
    text.reserve(8 + 2 * mSeparator.size());
    const auto twoDigits = [&text](int n) {
        text += QLatin1Char(static_cast<char>('0' + n / 10));
        text += QLatin1Char(static_cast<char>('0' + n % 10));
    };
    twoDigits(date.month());
    text += mSeparator;
    twoDigits(date.day());
    text += mSeparator;
    twoDigits(date.year() / 100);
    twoDigits(date.year() % 100);
    return text;
}

void StoredDateForm::appendUtf8(int year, int month, int day, QByteArray& out) const
{
    const auto twoDigits = [&out](int n) {
        out.append(static_cast<char>('0' + n / 10));
        out.append(static_cast<char>('0' + n % 10));
    };
    twoDigits(month);
    out.append(mUtf8Separator);
    twoDigits(day);
    out.append(mUtf8Separator);
    twoDigits(year / 100);
    twoDigits(year % 100);
}

QDate StoredDateForm::dateOf(QByteArrayView utf8) const
{
    if (!mReadableSeparator || utf8.size() != 10 || utf8[2] != mReadableSeparator || utf8[5] != mReadableSeparator)
        return QDate();
    int digits[8];
    int count = 0;
    for (const qsizetype at : {0, 1, 3, 4, 6, 7, 8, 9}) {
        if (utf8[at] < '0' || utf8[at] > '9')
            return QDate();
        digits[count++] = utf8[at] - '0';
    }
    const QDate date(digits[4] * 1000 + digits[5] * 100 + digits[6] * 10 + digits[7], digits[0] * 10 + digits[1],
                     digits[2] * 10 + digits[3]);
    if (!date.isValid() || date < earliestDate() || date > latestDate())
        return QDate();
    return date;
}
