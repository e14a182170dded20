#pragma once

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

// A card as the program's contact, and what the summary counts of it.
struct ImportedContact {
    Contact contact;
    CardMarks marks;
};
