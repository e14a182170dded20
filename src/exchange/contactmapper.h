#pragma once

#include <QLocale>

#include "exchange/importedcontact.h"
#include "exchange/storeddateform.h"
#include "exchange/vcardcard.h"

// Maps a card onto the program's thirteen fields. Whatever has no field of its
// own is kept as readable lines at the end of the remarks, which export turns
// back into properties.
class ContactMapper {
public:
    // Dates of birth are stored in the form the locale's separator gives.
    explicit ContactMapper(const QLocale& locale = QLocale());

    // Throws AppError for a card that would add more lines to the remarks
    // than any real card does.
    ImportedContact fromCard(const VCardCard& card) const;
    const StoredDateForm& dates() const { return mDates; }

    // The parameter of the program's own that names the field a value
    // belongs to, where the property alone would put it elsewhere: a number
    // in a second slot, a date of birth that is no date. Other programs
    // ignore it.
    static constexpr char kFieldHint[] = "X-FIELD";
    // The NOTE parameter that names a remark's line breaks where they are
    // not all line feeds: one kind for all ("crlf") or one per break
    // ("crlf-cr-lf").
    static constexpr char kLineBreaks[] = "X-LINE-BREAKS";
    // What one card may add to the remarks. A line costs some dozens of bytes
    // however short its value is written ("a," in CATEGORIES): beyond this, a
    // file of a few megabytes could take gigabytes. Real cards add a few dozen.
    static constexpr qsizetype kMostRemarkLines = 10000;

private:
    StoredDateForm mDates;
};
