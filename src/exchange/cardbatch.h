#pragma once

#include <vector>

#include "exchange/utf8rows.h"

// What the summary counts about one card.
struct CardMarks {
    bool keptInRemarks = false;
    bool photoLeftOut = false;
    bool textReplaced = false;
};

// Cards of a file, mapped, on their way from the thread that reads the file to
// the one that writes them: the values, and what the summary counts.
struct CardBatch {
    Utf8Rows rows;
    std::vector<CardMarks> marks;

    void add(const Utf8Values& values, CardMarks cardMarks)
    {
        rows.add(values);
        marks.push_back(cardMarks);
    }
};
