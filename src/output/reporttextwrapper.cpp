#include "output/reporttextwrapper.h"

#include <algorithm>

#include <QTextLayout>

namespace {

bool isBreak(QChar c)
{
    return c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar::LineSeparator ||
           c == QChar::ParagraphSeparator;
}

} // namespace

ReportTextWrapper::ReportTextWrapper(const QFont& font)
    : mFont(font), mMetrics(font), mKerningAllowance(font.pixelSize() * 0.1)
{
    mAdvances.fill(-1);
}

double ReportTextWrapper::advance(char16_t c) const
{
    double& known = mAdvances[c];
    if (known < 0)
        known = mMetrics.horizontalAdvance(QChar(c));
    return known;
}

bool ReportTextWrapper::isSimple(const QString& text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < kSimpleEnd; });
}

template <class Sink> void ReportTextWrapper::breakSimple(const QString& text, double width, Sink&& line) const
{
    const qsizetype size = text.size();
    qsizetype start = 0;
    do {
        double used = 0;
        qsizetype afterBlank = -1;
        qsizetype at = start;
        qsizetype next = size;
        qsizetype end = size;
        while (at < size) {
            const QChar c = text[at];
            if (isBreak(c)) {
                end = at;
                next = at + (c == QLatin1Char('\r') && at + 1 < size && text[at + 1] == QLatin1Char('\n') ? 2 : 1);
                break;
            }
            const double w = advance(c.unicode());
            // Blanks hang at the end of a line and never push it over.
            if (c == QLatin1Char(' ')) {
                used += w;
                afterBlank = ++at;
                continue;
            }
            if (used + w > width && at > start) {
                end = next = afterBlank > start ? afterBlank : at;
                break;
            }
            used += w;
            ++at;
        }
        line(start, end);
        start = next;
    } while (start < size);
}

QStringList ReportTextWrapper::wrap(const QString& text, double width) const
{
    if (!isSimple(text))
        return wrapWithLayout(text, width);
    QStringList lines;
    breakSimple(text, width, [&](qsizetype start, qsizetype end) { lines << text.mid(start, end - start); });
    return lines;
}

int ReportTextWrapper::lineCount(const QString& text, double width) const
{
    if (!isSimple(text))
        return static_cast<int>(wrapWithLayout(text, width).size());
    int count = 0;
    breakSimple(text, width, [&count](qsizetype, qsizetype) { ++count; });
    return count;
}

bool ReportTextWrapper::fits(const QString& line, double width) const
{
    if (isSimple(line)) {
        double used = 0;
        for (const QChar c : line)
            used += advance(c.unicode());
        if (used + mKerningAllowance <= width)
            return true;
    }
    return mMetrics.horizontalAdvance(line) <= width;
}

QStringList ReportTextWrapper::wrapWithLayout(const QString& text, double width) const
{
    // QTextLayout breaks lines only at a line separator, so every stored form
    // of a line break (CR LF, CR, LF) becomes one.
    QString prepared = text;
    prepared.replace(QLatin1String("\r\n"), QString(QChar::LineSeparator));
    for (QChar& c : prepared) {
        if (isBreak(c))
            c = QChar::LineSeparator;
    }
    QTextLayout layout(prepared, mFont);
    QTextOption option;
    // A long word with no place to break (a pasted link) still wraps.
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        QString piece = prepared.mid(line.textStart(), line.textLength());
        if (piece.endsWith(QChar::LineSeparator))
            piece.chop(1);
        lines << piece;
    }
    layout.endLayout();
    // A text ending in a line break has no further line to print.
    if (lines.size() > 1 && lines.last().isEmpty() && prepared.endsWith(QChar::LineSeparator))
        lines.removeLast();
    if (lines.isEmpty())
        lines << QString();
    return lines;
}
