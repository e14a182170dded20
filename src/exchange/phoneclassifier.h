#pragma once

#include <QString>

#include "exchange/vcardproperty.h"

// Decides where a TEL belongs. A number only goes to a slot whose label is
// true for it; kinds the program has no slot for (pager, car, ...) stay out.
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
};
