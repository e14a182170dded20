#include "exchange/contactmapper.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include "base/apperror.h"
#include "exchange/birthdayparser.h"
#include "exchange/extrasformatter.h"
#include "exchange/personname.h"
#include "exchange/phoneclassifier.h"
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
