#pragma once

struct UCollator;

// The list's name order: the root collation at secondary strength (letter case
// ignored, accents counted, every script by its own alphabet). <0, 0 or >0 for
// two UTF-8 texts.
int compareNoCase(const char* a, int aSize, const char* b, int bSize);

// Closes a collator of one's own (a clone of the one below).
struct CollatorCloser {
    void operator()(UCollator* c) const;
};

// The one collator behind that order, set up on first use, for whatever needs
// its sort keys or a clone of its own; only read or cloned, never changed.
// Throws when ICU cannot give it.
const UCollator& nameOrderCollator();
