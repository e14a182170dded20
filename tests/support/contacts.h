#pragma once

#include "model/contact.h"

// The field at a position in the table's order, for tests that go through
// every field by number (to mark each value with its column, say).
inline contact::Field fieldAt(size_t position)
{
    return contact::fields()[position].field;
}

inline constexpr size_t kFields = contact::kFieldCount;
