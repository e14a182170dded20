#include "exchange/plaincardmapper.h"

#include <cstring>

#include "exchange/contactmapper.h"
#include "exchange/extrasformatter.h"
#include "exchange/personname.h"
#include "exchange/vcardsyntax.h"
#include "model/storeddate.h"

namespace {

using contact::Field;
using contact::FieldInfo;
using vcardsyntax::equalsIgnoreCase;
using vcardsyntax::trimmed;

template <size_t N> bool is(QByteArrayView name, const char (&literal)[N])
{
    return name.size() == N - 1 && std::memcmp(name.data(), literal, N - 1) == 0;
}

// 19850314 or 1985-03-14, a date and nothing else, that the editor's
// picker shows; year 0 for anything else.
struct PlainDate {
    int year = 0;
    int month = 0;
    int day = 0;
};

PlainDate plainDate(QByteArrayView text)
{
    const bool dashed = text.size() == 10 && text[4] == '-' && text[7] == '-';
    if (text.size() != 8 && !dashed)
        return {};
    int digits[8];
    int count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (dashed && (i == 4 || i == 7))
            continue;
        if (text[i] < '0' || text[i] > '9')
            return {};
        digits[count++] = text[i] - '0';
    }
    const PlainDate date{digits[0] * 1000 + digits[1] * 100 + digits[2] * 10 + digits[3], digits[4] * 10 + digits[5],
                         digits[6] * 10 + digits[7]};
    static const QDate earliest = earliestDate();
    static const QDate latest = latestDate();
    const QDate valid(date.year, date.month, date.day);
    if (!valid.isValid() || valid < earliest || valid > latest)
        return {};
    return date;
}

// A property that has no field and no rule of its own in ContactMapper, so
// that its remark lines are all it gives. Names in another letter case go the
// long way: "note" is a NOTE there.
bool hasNoFieldRule(QByteArrayView name)
{
    for (const char c : name) {
        if (c >= 'a' && c <= 'z')
            return false;
    }
    return !is(name, "LABEL") && !is(name, "X-EVOLUTION-FILE-AS") && !is(name, "X-ABLABEL") && !is(name, "VERSION");
}

// N as export writes it for a name.
bool isExportedStructuredName(QByteArrayView structured, QByteArrayView name)
{
    return structured == PersonName::of(name).structuredValue();
}

} // namespace

// The parameters a plain card may carry.
struct PlainCardMapper::Parameters {
    // The one TYPE as written ("work,voice"), and how many there were.
    QByteArrayView type;
    int types = 0;
    // The first VALUE and X-FIELD values.
    QByteArrayView value;
    QByteArrayView hint;
};

// False for anything a plain card does not hold: a parameter of another name
// (CHARSET, ENCODING, ...), quotes, a bare 2.1 parameter.
bool PlainCardMapper::readParameters(QByteArrayView header, Parameters& parameters)
{
    const qsizetype first = vcardsyntax::indexOf(header, ';');
    if (first < 0)
        return true;
    QByteArrayView rest = header.sliced(first + 1);
    if (vcardsyntax::contains(rest, '"'))
        return false;
    while (!rest.isNull()) {
        const QByteArrayView part = trimmed(vcardsyntax::nextPiece(rest, ';'));
        if (part.isEmpty())
            continue;
        const qsizetype equals = vcardsyntax::indexOf(part, '=');
        if (equals < 0)
            return false;
        const QByteArrayView name = trimmed(part.first(equals));
        QByteArrayView values = part.sliced(equals + 1);
        if (equalsIgnoreCase(name, "TYPE")) {
            parameters.type = trimmed(values);
            ++parameters.types;
        } else if (equalsIgnoreCase(name, "VALUE")) {
            if (parameters.value.isNull())
                parameters.value = trimmed(vcardsyntax::nextPiece(values, ','));
        } else if (equalsIgnoreCase(name, ContactMapper::kFieldHint)) {
            if (parameters.hint.isNull())
                parameters.hint = trimmed(vcardsyntax::nextPiece(values, ','));
        } else {
            return false;
        }
    }
    return true;
}

PlainCardMapper::PlainCardMapper(const StoredDateForm& dates) : mDates(dates)
{
    for (const FieldInfo& field : contact::fields()) {
        if (field.phoneKind)
            mPhones.push_back({field.field, field.phoneKind, field.vcardPhoneType, field.vcardSlot});
        else if (field.field != Field::Name && field.field != Field::DateOfBirth)
            mSingles.push_back({field.vcardProperty, field.field});
    }
}

QByteArrayView PlainCardMapper::unescaped(QByteArrayView value)
{
    if (!vcardsyntax::contains(value, '\\') && !vcardsyntax::contains(value, '\r'))
        return value;
    const qsizetype start = mScratch.size();
    vcardsyntax::appendUnescaped(value.data(), value.size(), mScratch);
    return QByteArrayView(mScratch.constData() + start, mScratch.size() - start);
}

bool PlainCardMapper::map(const RawCard& card, Utf8Values& values, Rest& rest)
{
    if (card.embeddedCardSkipped)
        return false;
    rest = Rest();
    const bool v4 = card.version == "4.0";
    const bool v3 = card.version == "3.0";
    bool exact = v3 || v4;
    values = Utf8Values();
    qsizetype room = 32;
    for (const RawProperty& property : card.properties)
        room += property.value.size();
    mScratch.truncate(0);
    mScratch.reserve(room);
    mExtras.clear();

    const RawProperty* formatted = nullptr;
    const RawProperty* structured = nullptr;
    // A NUL is taken out of the text, which the full mapping does and counts.
    for (const RawProperty& property : card.properties) {
        Parameters parameters;
        if (!property.isProperty || property.binary || property.quotedPrintable || property.base64 ||
            !property.group.isEmpty() || !readParameters(property.header, parameters) ||
            !vcardsyntax::isValidUtf8(property.value) || vcardsyntax::contains(property.value, '\0'))
            return false;
        const QByteArrayView name = property.name;
        const bool bare = parameters.types == 0 && parameters.value.isNull() && parameters.hint.isNull();
        if (is(name, "FN") || is(name, "N")) {
            // A second one would end in the remarks.
            const RawProperty*& first = is(name, "FN") ? formatted : structured;
            if (first)
                return false;
            first = &property;
            exact = exact && bare;
        } else if (is(name, "BDAY") || is(name, "X-BIRTHDAY-TEXT")) {
            if (!mapBirthday(property, parameters, values, v4, exact))
                return false;
        } else if (is(name, "TEL")) {
            if (!mapPhone(property, parameters, values, exact))
                return false;
        } else if (is(name, "UID")) {
            if (!rest.uid.isNull() || !bare)
                return false;
            rest.uid = property.value;
        } else if (is(name, "PRODID") || is(name, "REV")) {
            // Export writes its own, or none.
            continue;
        } else if (const Field* field = singleValueField(name)) {
            // Export writes an e-mail address with TYPE=internet in 3.0, and
            // these with no parameter at all otherwise.
            const bool exportedEmail3 = *field == Field::Email && v3 && parameters.types == 1 &&
                                        equalsIgnoreCase(parameters.type, "internet") && parameters.value.isNull() &&
                                        parameters.hint.isNull();
            exact = exact && (exportedEmail3 || (bare && !(*field == Field::Email && v3)));
            const QByteArrayView text = unescaped(property.value);
            if (text.isEmpty())
                continue;
            QByteArrayView& value = valueOf(values, *field);
            // A second e-mail or web address would end in the remarks.
            if (!value.isEmpty())
                return false;
            value = text;
        } else if (hasNoFieldRule(name)) {
            mExtras.push_back(&property);
            exact = false;
        } else {
            return false;
        }
    }
    // The name exactly as written, with N as export writes it for that name.
    if (!formatted)
        return false;
    const QByteArrayView name = formatted->value;
    if (vcardsyntax::contains(name, '\\') || !vcardsyntax::isSimplified(name))
        return false;
    if (structured && !isExportedStructuredName(structured->value, name))
        return false;
    valueOf(values, Field::Name) = name;
    // Export writes N for every name.
    rest.exact = exact && structured;
    if (mExtras.empty())
        return true;
    QByteArrayView& remark = valueOf(values, Field::Remark);
    const qsizetype lines = addExtraLines(remark, remark);
    // Too many lines: the full mapping refuses the card and says why.
    if (lines < 0 || lines > ContactMapper::kMostRemarkLines)
        return false;
    rest.keptInRemarks = lines > 0;
    return true;
}

// The note, a blank line and a line for each property that has no field, as
// ContactMapper makes the remark: how many lines, or -1 when some text could
// not be read.
qsizetype PlainCardMapper::addExtraLines(QByteArrayView note, QByteArrayView& remark)
{
    QStringList& lines = mLines;
    lines.clear();
    bool textReplaced = false;
    for (const RawProperty* property : mExtras)
        lines += ExtrasFormatter::linesFor(mDecoder.decodeProperty(*property, textReplaced), QString());
    if (textReplaced)
        return -1;
    if (lines.isEmpty())
        return 0;
    mRemark.truncate(0);
    mRemark.append(note.data(), note.size());
    if (!note.isEmpty())
        mRemark.append("\n\n");
    mRemark.append(lines.join(u'\n').toUtf8());
    remark = mRemark;
    return lines.size();
}

bool PlainCardMapper::mapBirthday(const RawProperty& property, const Parameters& parameters, Utf8Values& values,
                                  bool v4, bool& exact)
{
    QByteArrayView& birth = valueOf(values, Field::DateOfBirth);
    // The program's own text that is no date.
    if (is(property.name, "X-BIRTHDAY-TEXT") || equalsIgnoreCase(parameters.hint, "birthday")) {
        const QByteArrayView text = unescaped(property.value);
        if (text.isEmpty())
            return true;
        if (!birth.isEmpty())
            return false;
        birth = text;
        exact = exact && (v4 ? is(property.name, "BDAY") && equalsIgnoreCase(parameters.value, "text") &&
                                   parameters.types == 0
                             : is(property.name, "X-BIRTHDAY-TEXT") && parameters.types == 0 &&
                                   parameters.value.isNull() && parameters.hint.isNull());
        return true;
    }
    if (equalsIgnoreCase(parameters.value, "text") || !birth.isEmpty())
        return false;
    const PlainDate date = plainDate(property.value);
    if (date.year == 0)
        return false;
    // 19850314 in 4.0, 1985-03-14 in 3.0, as export writes them.
    exact = exact && parameters.types == 0 && parameters.value.isNull() && parameters.hint.isNull() &&
            property.value.size() == (v4 ? 8 : 10);
    const qsizetype start = mScratch.size();
    mDates.appendUtf8(date.year, date.month, date.day, mScratch);
    birth = QByteArrayView(mScratch.constData() + start, mScratch.size() - start);
    return true;
}

bool PlainCardMapper::mapPhone(const RawProperty& property, const Parameters& parameters, Utf8Values& values,
                               bool& exact)
{
    QByteArrayView number = unescaped(property.value);
    if (!equalsIgnoreCase(parameters.value, "text") && number.size() >= 4 && equalsIgnoreCase(number.first(4), "tel:"))
        number = number.sliced(4);
    // Export writes VALUE=text only for a number that begins with "tel:".
    const bool telText = number.size() >= 4 && equalsIgnoreCase(number.first(4), "tel:");
    exact = exact && parameters.types == 1 &&
            (telText ? equalsIgnoreCase(parameters.value, "text") : parameters.value.isNull());
    if (number.isEmpty())
        return true;
    if (!parameters.hint.isEmpty()) {
        for (const PhoneSlot& slot : mPhones) {
            if (equalsIgnoreCase(parameters.hint, slot.hint) && valueOf(values, slot.field).isEmpty()) {
                valueOf(values, slot.field) = number;
                exact = exact && parameters.type == slot.type;
                return true;
            }
        }
    }
    // Only the TYPEs export writes; any other goes the long way.
    if (parameters.types != 1)
        return false;
    QByteArrayView kind;
    for (const PhoneSlot& slot : mPhones) {
        if (kind.isNull() && parameters.type == slot.type)
            kind = slot.kind;
    }
    for (const PhoneSlot& slot : mPhones) {
        if (!kind.isNull() && slot.kind == kind && valueOf(values, slot.field).isEmpty()) {
            valueOf(values, slot.field) = number;
            return true;
        }
    }
    // No type of the program's, or every slot of the kind taken.
    return false;
}

const Field* PlainCardMapper::singleValueField(QByteArrayView name) const
{
    for (const SingleValue& single : mSingles) {
        if (name == single.property)
            return &single.field;
    }
    return nullptr;
}
