// Dates of birth are stored as text under one regional setting and read back
// under any other; whatever is read has to survive the trip back to text.
#include "fuzztargets.h"

#include <QRegularExpression>

#include "base/apperror.h"
#include "fuzzinput.h"
#include "model/storeddate.h"

namespace fuzz {

namespace {

// What a date the reader accepts looks like, written out independently of it.
const QRegularExpression& storedForm()
{
    // Anchored as a whole: "$" alone would also match before a final line break.
    static const QRegularExpression form(
        QRegularExpression::anchoredPattern(QStringLiteral("([0-9]{1,2})([/.-])([0-9]{1,2})\\2([0-9]{4})")));
    return form;
}

void requireRoundTrip(const QDate& date, const QLocale& locale, const char* from)
{
    const QString text = formatStoredDate(date, locale);
    const std::string where = std::string(from) + " " + date.toString(Qt::ISODate).toStdString() + " under " +
                              locale.name().toStdString() + " as " + shown(text);
    QDate back;
    try {
        back = readStoredDate(text);
    } catch (const AppError& e) {
        require(false, "a stored date cannot be read back", where + ": " + e.what());
    }
    require(back == date, "a stored date reads back as another date", where);
}

} // namespace

void storedDate(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    const uint8_t high = input.byte();
    const QLocale locale = pickLocale(high, input.byte());
    const QByteArray bytes = input.rest();
    const QString text = QString::fromUtf8(bytes);

    QDate date;
    try {
        date = readStoredDate(text);
    } catch (const AppError& e) {
        require(e.number() == 13, "a refused date is not a type mismatch", shown(text));
    }
    const QRegularExpressionMatch form = storedForm().match(text);
    if (date.isValid()) {
        require(form.hasMatch(), "a date was read from a text of another form", shown(text));
        require(date.month() == form.captured(1).toInt() && date.day() == form.captured(3).toInt() &&
                    date.year() == form.captured(4).toInt(),
                "a date was read as another date", shown(text));
        require(date >= earliestDate() && date <= latestDate(), "a date outside the picker's range was read",
                shown(text));
        requireRoundTrip(date, locale, "read");
        requireRoundTrip(date, QLocale::c(), "read");
    } else if (form.hasMatch()) {
        // A text of the right form is refused only when it names no date the
        // picker offers.
        const QDate named(form.captured(4).toInt(), form.captured(1).toInt(), form.captured(3).toInt());
        require(!named.isValid() || named < earliestDate() || named > latestDate(), "a valid date was refused",
                shown(text));
    }

    // Any date of the picker's range, written under any regional setting.
    if (bytes.size() >= 4) {
        const int year = 1601 + ((static_cast<uint8_t>(bytes[0]) << 8) | static_cast<uint8_t>(bytes[1])) % 8399;
        const int month = 1 + static_cast<uint8_t>(bytes[2]) % 12;
        const int day = 1 + static_cast<uint8_t>(bytes[3]) % 31;
        const QDate generated(year, month, day);
        if (generated.isValid())
            requireRoundTrip(generated, locale, "generated");
    }
}

} // namespace fuzz
