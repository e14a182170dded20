#include "exchange/fieldrules.h"

#include <vector>

#include <QSet>
#include <QString>
#include <QStringList>

#include "exchange/remarklines.h"
#include "exchange/vcardsyntax.h"
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

namespace {

// Compared without a dot or comma behind them, in any letter case.
const char* const kPrefixes[] = {"mr", "mrs", "ms", "miss", "mx", "dr", "prof", "sir", "dame", "rev", "fr", "hon"};
const char* const kSuffixes[] = {"jr", "sr", "ii", "iii", "iv", "v", "phd", "md", "dds", "esq", "mba", "msc", "bsc"};

template <size_t N> bool isWordOf(QByteArrayView word, const char* const (&words)[N])
{
    if (word.endsWith(','))
        word.chop(1);
    if (word.endsWith('.'))
        word.chop(1);
    for (const char* known : words) {
        if (word.compare(QByteArrayView(known), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QByteArray joined(const std::vector<QByteArrayView>& words, size_t from, size_t to)
{
    QByteArray result;
    for (size_t i = from; i < to; ++i) {
        if (!result.isEmpty())
            result += ' ';
        result += words[i];
    }
    return result;
}

void appendEscaped(QByteArray& out, const QByteArray& component)
{
    for (const char c : component) {
        if (c == '\\' || c == ',' || c == ';')
            out += '\\';
        out += c;
    }
}

} // namespace

PersonName PersonName::of(QByteArrayView utf8Name)
{
    // Names are nearly always written simplified already: then no copy.
    QByteArray copy;
    QByteArrayView simple = utf8Name;
    if (!vcardsyntax::isSimplified(utf8Name)) {
        copy = QString::fromUtf8(utf8Name).simplified().toUtf8();
        simple = copy;
    }
    std::vector<QByteArrayView> words;
    for (QByteArrayView rest = simple; !rest.isEmpty();) {
        const QByteArrayView word = vcardsyntax::nextPiece(rest, ' ');
        if (!word.isEmpty())
            words.push_back(word);
    }
    PersonName name;
    size_t first = 0;
    size_t end = words.size();
    while (end - first > 1 && isWordOf(words[end - 1], kSuffixes)) {
        --end;
        // "Smith, Jr." keeps its comma on the word before the suffix.
        if (words[end - 1].endsWith(','))
            words[end - 1].chop(1);
    }
    name.suffix = joined(words, end, words.size());
    while (end - first > 1 && isWordOf(words[first], kPrefixes))
        ++first;
    name.prefix = joined(words, 0, first);
    if (first == end)
        return name;
    if (end - first > 1 && words[first].endsWith(',')) {
        // "Appleseed, John Q.": the family name first.
        name.family = words[first].chopped(1).toByteArray();
        name.given = words[first + 1].toByteArray();
        name.additional = joined(words, first + 2, end);
        return name;
    }
    name.given = words[first].toByteArray();
    if (end - first > 1) {
        name.family = words[end - 1].toByteArray();
        name.additional = joined(words, first + 1, end - 1);
    }
    return name;
}

QByteArray PersonName::structuredValue() const
{
    QByteArray value;
    value.reserve(family.size() + given.size() + additional.size() + prefix.size() + suffix.size() + 8);
    appendEscaped(value, family);
    value += ';';
    appendEscaped(value, given);
    value += ';';
    appendEscaped(value, additional);
    value += ';';
    appendEscaped(value, prefix);
    value += ';';
    appendEscaped(value, suffix);
    return value;
}

namespace {

enum class Says {
    // Where it rings: the slot kind of the field table that takes it.
    Slot,
    // A line the program has no slot for: its word goes to the remarks and
    // back out as TYPE.
    NoSlot,
    // What the line can do, not where it rings: no word of its own.
    Capability,
};

struct TypeWord {
    const char16_t* type;
    Says says;
    // The field table's phoneKind, for a slot.
    const char* slotKind;
};

// Every TYPE value of a TEL the program knows, in lower case. A value not
// here is a kind of its own ("Phone (boat): ..."), kept as a label.
const TypeWord kTypeWords[] = {
    {u"cell", Says::Slot, "mobile"},       {u"mobile", Says::Slot, "mobile"},
    {u"iphone", Says::Slot, "mobile"},     {u"pcs", Says::Slot, "mobile"},
    {u"fax", Says::Slot, "fax"},           {u"work", Says::Slot, "work"},
    {u"home", Says::Slot, "home"},         {u"pager", Says::NoSlot, nullptr},
    {u"car", Says::NoSlot, nullptr},       {u"isdn", Says::NoSlot, nullptr},
    {u"bbs", Says::NoSlot, nullptr},       {u"modem", Says::NoSlot, nullptr},
    {u"main", Says::NoSlot, nullptr},      {u"textphone", Says::NoSlot, nullptr},
    {u"callback", Says::NoSlot, nullptr},  {u"voice", Says::Capability, nullptr},
    {u"pref", Says::Capability, nullptr},  {u"text", Says::Capability, nullptr},
    {u"msg", Says::Capability, nullptr},   {u"video", Says::Capability, nullptr},
    {u"other", Says::Capability, nullptr}, {u"internet", Says::Capability, nullptr},
};

const TypeWord* typeWord(QStringView type)
{
    for (const TypeWord& word : kTypeWords) {
        if (type == QStringView(word.type))
            return &word;
    }
    return nullptr;
}

// The slot kind a word names, or null.
const char* slotKindOf(QStringView type)
{
    const TypeWord* word = typeWord(type);
    return word && word->says == Says::Slot ? word->slotKind : nullptr;
}

PhoneClassifier::Kind slot(const char* word)
{
    return {PhoneClassifier::Place::Slot, QLatin1String(word)};
}

} // namespace

PhoneClassifier::Kind PhoneClassifier::classify(const VCardProperty& property, const QString& groupLabel)
{
    if (!groupLabel.isEmpty()) {
        if (!ExtrasFormatter::isAppleMagicLabel(groupLabel))
            return {Place::NoSlot, groupLabel};
        // Apple's own words: "mobile", "iphone", "work", "home", "home fax", "other", ...
        const QString word = ExtrasFormatter::readableLabel(groupLabel);
        if (word.endsWith(u"fax"))
            return slot("fax");
        if (const char* kind = slotKindOf(word))
            return slot(kind);
        if (word != u"other")
            return {Place::NoSlot, word};
    }
    bool work = false;
    bool home = false;
    bool fax = false;
    bool mobile = false;
    QStringList rest;
    QSet<QString> seen;
    for (const QString& type : property.types()) {
        const TypeWord* word = typeWord(type);
        if (word && word->says == Says::Capability)
            continue;
        const QLatin1String kind(word && word->says == Says::Slot ? word->slotKind : "");
        if (kind == "fax")
            fax = true;
        else if (kind == "mobile")
            mobile = true;
        else if (kind == "work")
            work = true;
        else if (kind == "home")
            home = true;
        else if (!seen.contains(type)) {
            seen.insert(type);
            rest.append(type);
        }
    }
    if (fax)
        return slot("fax");
    if (mobile)
        return slot("mobile");
    if (!rest.isEmpty()) {
        if (home)
            rest.prepend(QStringLiteral("home"));
        if (work)
            rest.prepend(QStringLiteral("work"));
        return {Place::NoSlot, rest.join(QStringLiteral(", "))};
    }
    if (work)
        return slot("work");
    if (home)
        return slot("home");
    return {};
}

bool PhoneClassifier::isTypeWord(QStringView word)
{
    // A word that names a slot never reaches a remark line's qualifier but
    // beside a word of its own: work and home do ("work, pager").
    const TypeWord* known = typeWord(word);
    return known && (known->says == Says::NoSlot || word == u"work" || word == u"home");
}

QString PhoneClassifier::number(const VCardProperty& property)
{
    QString value = property.text();
    const bool textValue = property.parameter(u"VALUE").compare(u"text", Qt::CaseInsensitive) == 0;
    if (!textValue && value.startsWith(u"tel:", Qt::CaseInsensitive))
        value.remove(0, 4);
    return value;
}
