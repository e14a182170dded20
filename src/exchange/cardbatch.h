#pragma once

#include <vector>

#include "exchange/importedcontact.h"
#include "exchange/utf8rows.h"
#include "store/collationsort.h"

// Cards of a file, mapped, on their way from the thread that reads the file to
// the one that writes them: the values, and what the summary counts.
struct CardBatch {
    Utf8Rows rows;
    std::vector<CardMarks> marks;
    // An export's: the beginnings of the names' collation keys, when the
    // reading thread had the time to make them.
    std::vector<CollationPrefix> prefixes;

    void add(const Utf8Values& values, CardMarks cardMarks)
    {
        rows.add(values);
        marks.push_back(cardMarks);
    }
};
