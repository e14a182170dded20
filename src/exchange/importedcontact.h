#pragma once

#include <array>

#include <QList>

#include "model/contact.h"

// What the summary counts about one card.
struct CardMarks {
    // Something is kept as lines at the end of the remarks.
    bool keptInRemarks = false;
    // A photo or other embedded binary data was left out.
    bool photoLeftOut = false;
    // An embedded card (2.1's AGENT) was left out.
    bool agentLeftOut = false;
    // Some text has replacement characters where it could not be read.
    bool textReplaced = false;
    // NUL characters were taken out: stored text ends at the first one for
    // many programs, the stock sqlite3 tool among them.
    bool nulRemoved = false;
};

// Which of the card's properties (by their place in it) each field and each
// remark line came from: what an export of the kept card changes when the
// user changed the field or the line.
struct CardSources {
    // -1 for a field no property filled; the remark's are below.
    std::array<int, contact::kFieldCount> field;
    // The N that the name shows, -1 when there is none or it went to the
    // remarks.
    int structuredName = -1;
    // The NOTEs the remark begins with, in card order.
    QList<int> notes;
    // The property of each "Label: value" line at the remark's end.
    QList<int> lines;

    CardSources() { field.fill(-1); }
};

// A card as the program's contact, and what the summary counts of it.
struct ImportedContact {
    Contact contact;
    CardMarks marks;
    CardSources sources;
    // The remark as the card's notes make it, before the lines of what has no
    // field are added: where the note ends in the remark.
    QString note;
};
