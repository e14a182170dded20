#include "exchange/phoneclassifier.h"

#include <QSet>
#include <QStringList>

#include "exchange/extrasformatter.h"

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
    {u"cell", Says::Slot, "mobile"},     {u"mobile", Says::Slot, "mobile"},   {u"iphone", Says::Slot, "mobile"},
    {u"pcs", Says::Slot, "mobile"},      {u"fax", Says::Slot, "fax"},         {u"work", Says::Slot, "work"},
    {u"home", Says::Slot, "home"},       {u"pager", Says::NoSlot, nullptr},   {u"car", Says::NoSlot, nullptr},
    {u"isdn", Says::NoSlot, nullptr},    {u"bbs", Says::NoSlot, nullptr},     {u"modem", Says::NoSlot, nullptr},
    {u"main", Says::NoSlot, nullptr},    {u"textphone", Says::NoSlot, nullptr}, {u"callback", Says::NoSlot, nullptr},
    {u"voice", Says::Capability, nullptr}, {u"pref", Says::Capability, nullptr}, {u"text", Says::Capability, nullptr},
    {u"msg", Says::Capability, nullptr}, {u"video", Says::Capability, nullptr}, {u"other", Says::Capability, nullptr},
    {u"internet", Says::Capability, nullptr},
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
