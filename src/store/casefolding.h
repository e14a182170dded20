#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include <QString>

#include <unicode/umachine.h>

// Full Unicode case folding, the rule by which two texts are "the same but for
// letter case": "Straße" and "STRASSE" fold alike, and so do "Борис" and
// "БОРИС". Under a Turkish or Azerbaijani locale the dotted and dotless i keep
// apart as their languages write them: "YILMAZ" folds like "Yılmaz", "İlker"
// like "ilker".
class CaseFolding {
public:
    // The folding for the user's locale (QLocale()).
    static const CaseFolding& forUserLocale();
    static const CaseFolding& standard();
    static const CaseFolding& turkic();

    // Writes the folded form of c (one to three characters) to out and
    // returns how many were written.
    int fold(UChar32 c, UChar32 out[3]) const;
    QString fold(const QString& text) const;
    bool isTurkic() const { return mTurkic; }
    // True for the few characters beyond ASCII whose folding holds an ASCII
    // one ("ß" to "ss", the Kelvin sign to "k", the "fi" ligature, ...).
    bool foldsToAscii(UChar32 c) const;
    // True for a first byte of UTF-8 that such a character may start with.
    bool mayFoldToAscii(unsigned char leadByte) const { return mRiskyLead[leadByte]; }

private:
    explicit CaseFolding(bool turkic);
    int foldUncached(UChar32 c, UChar32 out[3]) const;

    bool mTurkic;
    // For every character of the Basic Multilingual Plane: its folding when
    // that is one character, else kExpands and the folding in mExpanded.
    static constexpr uint32_t kExpands = 0x80000000u;
    std::unique_ptr<uint32_t[]> mSingle;
    std::vector<UChar32> mExpanded;
    std::vector<bool> mToAscii;
    std::array<bool, 256> mRiskyLead{};
};
