#pragma once

#include <QString>
#include <QStringView>

#include "exchange/vcardproperty.h"

// Decides where a TEL belongs. A number only goes to a slot whose label is
// true for it; kinds the program has no slot for (pager, car, ...) stay out.
// Its table of TYPE values is the one the import and the export both read.
class PhoneClassifier {
public:
    enum class Place {
        // word is the kind of slot, as the field table names it ("mobile").
        Slot,
        // Nothing said where it rings.
        Untyped,
        // word says what it is ("pager", "work, pager", a label of its own).
        NoSlot
    };
    struct Kind {
        Place place = Place::Untyped;
        QString word;
    };

    // groupLabel is the X-ABLabel that shares the property's group, or empty.
    static Kind classify(const VCardProperty& property, const QString& groupLabel);
    static QString number(const VCardProperty& property);
    // Whether a word of a remark line's "Phone (...)" goes back out as a TYPE
    // value; any other word goes out as a label of its own.
    static bool isTypeWord(QStringView word);
};
