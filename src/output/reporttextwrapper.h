#pragma once

#include <array>

#include <QFont>
#include <QFontMetricsF>
#include <QString>
#include <QStringList>

// Breaks a text into the lines that fit a box's width, and tells whether a
// line fits at all. Pages of a hundred thousand contacts need every remark
// measured, so text in the alphabets that need no shaping (Latin, Greek,
// Cyrillic, Armenian) is measured from each character's advance, which takes
// a fraction of a full text layout; other scripts go through QTextLayout.
// Either way the same lines are found for counting and for drawing.
class ReportTextWrapper {
public:
    explicit ReportTextWrapper(const QFont& font);

    // The lines of text within width; a stored line break (CR LF, CR or LF)
    // always starts a new line. Words wrap at blanks, and a word wider than
    // the box wraps between letters. Blanks at a line's end stay on it, so the
    // lines joined give back the text less its line breaks.
    QStringList wrap(const QString& text, double width) const;
    int lineCount(const QString& text, double width) const;
    // Whether a line of text fits within width.
    bool fits(const QString& line, double width) const;

private:
    // Below Hebrew: scripts whose letters keep their width in a word, apart
    // from kerning, which mKerningAllowance covers.
    static constexpr char16_t kSimpleEnd = 0x0590;

    // Calls line(start, end) for each line, end excluding the line break.
    template <class Sink> void breakSimple(const QString& text, double width, Sink&& line) const;
    QStringList wrapWithLayout(const QString& text, double width) const;
    static bool isSimple(const QString& text);
    double advance(char16_t c) const;

    QFont mFont;
    QFontMetricsF mMetrics;
    double mKerningAllowance = 0;
    mutable std::array<double, kSimpleEnd> mAdvances{};
};
