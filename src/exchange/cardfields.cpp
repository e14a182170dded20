#include "exchange/cardfields.h"

#include <cstring>

#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include "base/apperror.h"
#include "exchange/fieldrules.h"
#include "exchange/remarklines.h"
#include "exchange/vcardsyntax.h"
#include "model/storeddate.h"
#include "model/storedtext.h"

namespace {

using contact::Field;
using contact::FieldInfo;

// More pieces than any name has: such an N or file-as text is kept in the
// remarks instead, for each piece is looked for in the whole of FN.
const qsizetype kMostNamePieces = 64;

// Compared with white space collapsed: export writes N from the simplified name.
bool containsAllPieces(const QString& haystack, const QStringList& pieces)
{
    const QString simpleHaystack = haystack.simplified();
    for (const QString& piece : pieces) {
        const QString simplePiece = piece.simplified();
        if (!simplePiece.isEmpty() && !simpleHaystack.contains(simplePiece, Qt::CaseInsensitive))
            return false;
    }
    return true;
}

// N "agrees" with FN when FN already shows every part of it, whatever the order.
bool nameAgrees(const QString& name, const VCardProperty& nameProperty)
{
    const QStringList components = nameProperty.components();
    // As export writes it for this name it agrees, however many pieces it has.
    const PersonName built = PersonName::of(name.toUtf8());
    if (components ==
        QStringList({QString::fromUtf8(built.family), QString::fromUtf8(built.given), QString::fromUtf8(built.additional),
                     QString::fromUtf8(built.prefix), QString::fromUtf8(built.suffix)}))
        return true;
    QStringList pieces;
    for (const QString& component : components) {
        if (pieces.size() + component.count(u',') >= kMostNamePieces)
            return false;
        for (const QString& piece : component.split(u','))
            pieces.append(ExtrasFormatter::flatten(piece));
    }
    return containsAllPieces(name, pieces);
}

bool fileAsAgrees(const QString& name, const QString& fileAs)
{
    qsizetype separators = 0;
    for (const QChar c : fileAs)
        separators += c == u',' || (c.unicode() < 0x80 && c.isSpace()) ? 1 : 0;
    if (separators >= kMostNamePieces)
        return false;
    static const QRegularExpression separator(QStringLiteral("[,\\s]+"));
    return containsAllPieces(name, fileAs.split(separator, Qt::SkipEmptyParts));
}

// The field a property fills by its first value alone (EMAIL, URL); the
// name, the date, the phones and the remarks have rules of their own.
const FieldInfo* firstValueField(const QString& name)
{
    for (const FieldInfo& field : contact::fields()) {
        if (field.field != Field::Name && field.field != Field::DateOfBirth && field.field != Field::Remark &&
            !field.phoneKind && name == QLatin1String(field.vcardProperty))
            return &field;
    }
    return nullptr;
}

const QString& fieldHint()
{
    static const QString name = QLatin1String(ContactMapper::kFieldHint);
    return name;
}

// The note's line feeds as the breaks the writer named; as they are when the
// names do not fit. In one pass, without a list of lines or
// names in one pass, without a list of either: a note may have a million.
QString withLineBreaks(const QString& note, const QString& kinds)
{
    if (kinds.isEmpty())
        return note;
    const QString names = kinds.toLower();
    const qsizetype breaks = note.count(u'\n');
    const bool oneForAll = !names.contains(u'-');
    if (!oneForAll && names.count(u'-') + 1 != breaks)
        return note;
    QString result;
    result.reserve(note.size() + breaks);
    qsizetype nextName = 0;
    for (const QChar c : note) {
        if (c != u'\n') {
            result += c;
            continue;
        }
        qsizetype end = oneForAll ? names.size() : names.indexOf(u'-', nextName);
        if (end < 0)
            end = names.size();
        const QStringView kind = QStringView(names).mid(oneForAll ? 0 : nextName, oneForAll ? end : end - nextName);
        nextName = end + 1;
        if (kind == u"crlf")
            result += QStringLiteral("\r\n");
        else if (kind == u"cr")
            result += u'\r';
        else if (kind == u"lf")
            result += u'\n';
        else
            return note;
    }
    return result;
}

class Importer {
public:
    Importer(const VCardCard& card, const StoredDateForm& dates) : mCard(card), mDates(dates) {}

    ImportedContact run();

private:
    void collectGroupLabels();
    void mapNames();
    void placePhones();
    bool takeHintedSlot(const VCardProperty& property);
    void takeFreeSlot(const VCardProperty& property, const QString& kind);
    void mapBirthday(const VCardProperty& property);
    void mapFirstOrExtra(const VCardProperty& property, Field field);
    void addExtras(const VCardProperty& property);
    QString groupLabel(const VCardProperty& property) const;
    int indexOf(const VCardProperty& property) const
    {
        return static_cast<int>(&property - mCard.properties.constData());
    }
    void setSource(Field field, const VCardProperty& property)
    {
        mResult.sources.field[static_cast<size_t>(contact::indexOf(field))] = indexOf(property);
    }

    const VCardCard& mCard;
    const StoredDateForm& mDates;
    ImportedContact mResult;
    Contact& mContact = mResult.contact;
    QHash<QString, QString> mGroupLabels;
    // The numbers that went into a slot; the rest go to the remarks.
    QSet<const VCardProperty*> mPlacedPhones;
    QStringList mNoteTexts;
    // The "Label: value" lines for the end of the remarks, in card order.
    QStringList mExtras;
};

ImportedContact Importer::run()
{
    mResult.marks.textReplaced = mCard.textReplaced;
    mResult.marks.agentLeftOut = mCard.embeddedCardSkipped;
    collectGroupLabels();
    mapNames();
    placePhones();
    bool hasAddress = false;
    for (const VCardProperty& property : mCard.properties)
        hasAddress = hasAddress || property.name == u"ADR";

    for (const VCardProperty& property : mCard.properties) {
        const QString& name = property.name;
        if (name == u"FN" || name == u"N" || name == u"X-ABLABEL")
            continue;
        if (property.binary) {
            mResult.marks.photoLeftOut = true;
            continue;
        }
        if (name == u"TEL") {
            if (!mPlacedPhones.contains(&property) && !PhoneClassifier::number(property).isEmpty())
                addExtras(property);
        } else if (name == u"NOTE") {
            const QString note =
                withLineBreaks(property.text(), property.parameter(QString::fromLatin1(ContactMapper::kLineBreaks)));
            if (!note.isEmpty()) {
                mNoteTexts.append(note);
                mResult.sources.notes.append(indexOf(property));
            }
        } else if (name == u"BDAY" || name == u"X-BIRTHDAY-TEXT") {
            mapBirthday(property);
        } else if (const FieldInfo* field = firstValueField(name)) {
            mapFirstOrExtra(property, field->field);
        } else if (name == u"LABEL" && hasAddress) {
            // Outlook repeats every ADR as a formatted LABEL; the ADR line already keeps it.
            continue;
        } else if (name == u"X-EVOLUTION-FILE-AS" && fileAsAgrees(mContact[Field::Name], property.text())) {
            continue;
        } else {
            addExtras(property);
        }
    }

    QString remark = mNoteTexts.size() == 1 ? mNoteTexts.front() : mNoteTexts.join(u'\n');
    mResult.note = remark;
    if (!mExtras.isEmpty()) {
        if (!remark.isEmpty())
            remark += QStringLiteral("\n\n");
        remark += mExtras.join(u'\n');
    }
    mContact[Field::Remark] = remark;
    mResult.marks.keptInRemarks = !mExtras.isEmpty();
    for (const FieldInfo& field : contact::fields()) {
        QString& value = mContact[field.field];
        if (value.contains(QChar(0))) {
            value.remove(QChar(0));
            mResult.marks.nulRemoved = true;
        }
    }
    mResult.note.remove(QChar(0));
    return std::move(mResult);
}

void Importer::collectGroupLabels()
{
    for (const VCardProperty& property : mCard.properties) {
        if (property.name == u"X-ABLABEL" && !property.group.isEmpty())
            mGroupLabels.insert(property.group.toLower(), property.text());
    }
}

QString Importer::groupLabel(const VCardProperty& property) const
{
    return property.group.isEmpty() ? QString() : mGroupLabels.value(property.group.toLower());
}

void Importer::mapNames()
{
    const VCardProperty* formatted = nullptr;
    const VCardProperty* structured = nullptr;
    for (const VCardProperty& property : mCard.properties) {
        if (property.name == u"FN" && !formatted)
            formatted = &property;
        else if (property.name == u"N" && !structured)
            structured = &property;
    }
    const QString natural = structured ? ExtrasFormatter::naturalName(*structured) : QString();
    const QString fn = formatted ? formatted->text() : QString();
    // An FN of only blanks is a placeholder some phones write; N then knows better.
    const bool useFn = formatted && (!isBlank(fn) || natural.isEmpty());
    mContact[Field::Name] = useFn ? fn : natural;
    if (useFn)
        setSource(Field::Name, *formatted);
    else if (structured)
        setSource(Field::Name, *structured);

    for (const VCardProperty& property : mCard.properties) {
        if (property.name == u"FN" && &property != formatted) {
            const QString other = property.text();
            if (!isBlank(other) && other != mContact[Field::Name])
                addExtras(property);
        } else if (property.name == u"N") {
            const bool shown = &property == structured && (!useFn || nameAgrees(fn, property));
            if (!shown)
                addExtras(property);
            else
                mResult.sources.structuredName = indexOf(property);
        }
    }
}

// Numbers that say where they ring take their slots first, in card order;
// untyped ones then fill what is left, so that a typed mobile number is not
// pushed into the remarks by untyped ones before it.
void Importer::placePhones()
{
    QList<const VCardProperty*> untyped;
    for (const VCardProperty& property : mCard.properties) {
        if (property.name != u"TEL" || PhoneClassifier::number(property).isEmpty() || takeHintedSlot(property))
            continue;
        const PhoneClassifier::Kind kind = PhoneClassifier::classify(property, groupLabel(property));
        if (kind.place == PhoneClassifier::Place::Untyped)
            untyped.append(&property);
        else if (kind.place == PhoneClassifier::Place::Slot)
            takeFreeSlot(property, kind.word);
    }
    for (const VCardProperty* property : std::as_const(untyped))
        takeFreeSlot(*property, QString());
}

// The program's own hint names the slot a number was written from.
bool Importer::takeHintedSlot(const VCardProperty& property)
{
    const QString hint = property.parameter(fieldHint());
    if (hint.isEmpty())
        return false;
    for (const FieldInfo& field : contact::fields()) {
        if (field.vcardSlot && hint.compare(QLatin1String(field.vcardSlot), Qt::CaseInsensitive) == 0 &&
            mContact[field.field].isEmpty()) {
            mContact[field.field] = PhoneClassifier::number(property);
            mPlacedPhones.insert(&property);
            setSource(field.field, property);
            return true;
        }
    }
    return false;
}

// The first free slot of that kind, or of any kind for an empty one.
void Importer::takeFreeSlot(const VCardProperty& property, const QString& kind)
{
    for (const FieldInfo& field : contact::fields()) {
        if (field.phoneKind && (kind.isEmpty() || kind == QLatin1String(field.phoneKind)) &&
            mContact[field.field].isEmpty()) {
            mContact[field.field] = PhoneClassifier::number(property);
            mPlacedPhones.insert(&property);
            setSource(field.field, property);
            return;
        }
    }
}

void Importer::mapBirthday(const VCardProperty& property)
{
    QString& birth = mContact[Field::DateOfBirth];
    // The program's own text that is no date comes back as it was.
    if (property.name == u"X-BIRTHDAY-TEXT" ||
        property.parameter(fieldHint()).compare(u"birthday", Qt::CaseInsensitive) == 0) {
        const QString text = property.text();
        if (birth.isEmpty() && !text.isEmpty()) {
            birth = text;
            setSource(Field::DateOfBirth, property);
        } else {
            addExtras(property);
        }
        return;
    }
    const bool textValue = property.parameter(u"VALUE").compare(u"text", Qt::CaseInsensitive) == 0;
    const BirthdayParser::Result birthday =
        BirthdayParser::parse(property.text(), textValue, property.parameter(u"X-APPLE-OMIT-YEAR"));
    // A date the editor's picker cannot show stays in the remarks.
    if (birthday.kind == BirthdayParser::Kind::FullDate && birth.isEmpty() && birthday.date >= earliestDate() &&
        birthday.date <= latestDate()) {
        birth = mDates.text(birthday.date);
        setSource(Field::DateOfBirth, property);
        return;
    }
    addExtras(property);
}

void Importer::mapFirstOrExtra(const VCardProperty& property, Field field)
{
    const QString value = property.text();
    if (value.isEmpty())
        return;
    if (mContact[field].isEmpty()) {
        mContact[field] = value;
        setSource(field, property);
        return;
    }
    addExtras(property);
}

void Importer::addExtras(const VCardProperty& property)
{
    const QStringList lines = ExtrasFormatter::linesFor(property, groupLabel(property));
    mExtras.append(lines);
    for (qsizetype i = 0; i < lines.size(); ++i)
        mResult.sources.lines.append(indexOf(property));
    if (mExtras.size() > ContactMapper::kMostRemarkLines)
        throw AppError(QStringLiteral("line %1: card too large to import: more than %2 lines for the remarks")
                           .arg(mCard.line)
                           .arg(ContactMapper::kMostRemarkLines));
}

} // namespace

ContactMapper::ContactMapper(const QLocale& locale) : mDates(locale) {}

ImportedContact ContactMapper::fromCard(const VCardCard& card) const
{
    return Importer(card, mDates).run();
}

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

PlainCardMapper::PlainCardMapper(const StoredDateForm& dates, QByteArrayView file)
    : mDates(dates), mFileIsUtf8(vcardsyntax::isValidUtf8(file))
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
            !(mFileIsUtf8 || vcardsyntax::isValidUtf8(property.value)) || vcardsyntax::contains(property.value, '\0'))
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
