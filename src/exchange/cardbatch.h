#pragma once

#include <vector>

#include "exchange/importedcontact.h"
#include "exchange/utf8rows.h"
#include "store/collationsort.h"

// What goes with a contact's fields between the data file and a card: its
// UID, and the card it came from when its fields do not carry all of that.
struct KeptPart {
    // Null when the card had none or the contact came from no card.
    QByteArray uid;
    QByteArray card;
    // The fields' fingerprint when the card was kept.
    quint64 fingerprint = 0;
};

// Cards of a file, mapped, on their way from the thread that reads the file to
// the one that writes them: the values, what the summary counts, and what is
// kept of each card beside its fields.
struct CardBatch {
    Utf8Rows rows;
    std::vector<CardMarks> marks;
    std::vector<KeptPart> kept;
    // An export's: each row's key, which makes the UID of a contact without one.
    std::vector<qint64> ids;
    // An export's: the beginnings of the names' collation keys, when the
    // reading thread had the time to make them.
    std::vector<CollationPrefix> prefixes;

    void add(const Utf8Values& values, CardMarks cardMarks, KeptPart part)
    {
        rows.add(values);
        marks.push_back(cardMarks);
        kept.push_back(std::move(part));
    }
};
