#pragma once

#include <vector>

#include "exchange/utf8rows.h"

// Cards of a file, mapped, on their way from the thread that reads the file to
// the one that writes them: the values, and what the summary counts.
struct CardBatch {
    Utf8Rows rows;
    std::vector<bool> keptInRemarks;
    std::vector<bool> photoLeftOut;

    void add(const Utf8Values& values, bool kept, bool photo)
    {
        rows.add(values);
        keptInRemarks.push_back(kept);
        photoLeftOut.push_back(photo);
    }
};
