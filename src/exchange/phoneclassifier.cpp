#include "exchange/phoneclassifier.h"

#include <QSet>
#include <QStringList>

#include "exchange/extrasformatter.h"

namespace {

bool isCapability(const QString& type)
{
    // These describe what the line can do, not where it rings.
    return type == u"voice" || type == u"pref" || type == u"text" || type == u"msg" || type == u"video" ||
           type == u"other" || type == u"internet";
}

bool isMobile(const QString& type)
{
    return type == u"cell" || type == u"mobile" || type == u"iphone" || type == u"pcs";
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
        const QString word = ExtrasFormatter::readableLabel(groupLabel);
        if (word == u"mobile" || word == u"iphone")
            return slot("mobile");
        if (word.endsWith(u"fax"))
            return slot("fax");
        if (word == u"work")
            return slot("work");
        if (word == u"home")
            return slot("home");
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
        if (type == u"fax")
            fax = true;
        else if (isMobile(type))
            mobile = true;
        else if (type == u"work")
            work = true;
        else if (type == u"home")
            home = true;
        else if (!isCapability(type) && !seen.contains(type)) {
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

QString PhoneClassifier::number(const VCardProperty& property)
{
    QString value = property.text();
    const bool textValue = property.parameter(u"VALUE").compare(u"text", Qt::CaseInsensitive) == 0;
    if (!textValue && value.startsWith(u"tel:", Qt::CaseInsensitive))
        value.remove(0, 4);
    return value;
}
