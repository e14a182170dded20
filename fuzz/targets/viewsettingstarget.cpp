// The settings file is plain text a user can edit by hand: every value read
// from it either becomes a usable number or an error the trap can report.
#include "fuzztargets.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

#include "base/apperror.h"
#include "fuzzinput.h"
#include "store/viewsettings.h"

namespace fuzz {

namespace {

// The errors a conversion may raise, each with its own fixed text.
bool knownError(const AppError& e, bool stateRead)
{
    const QString text = e.description();
    return (e.number() == 13 && text == QLatin1String("Type mismatch")) ||
           (e.number() == 6 && text == QLatin1String("Overflow")) ||
           (stateRead && e.number() == 380 && text == QLatin1String("Invalid property value"));
}

} // namespace

void viewSettings(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    const uint8_t high = input.byte();
    const QLocale locale = pickLocale(high, input.byte());
    const DefaultLocale regional(locale);
    const QByteArray bytes = input.rest();
    const QString text = QString::fromUtf8(bytes);
    const std::string where = shown(text) + " under " + locale.name().toStdString();

    bool widthRead = false;
    try {
        const float width = ViewSettings::widthFromText(text);
        widthRead = true;
        require(std::isfinite(width) && std::fabs(width) <= FLT_MAX, "a width read is not a finite number", where);
    } catch (const AppError& e) {
        require(knownError(e, false), "a width read failed with an unexpected error", where + ": " + e.what());
    }
    try {
        const int state = ViewSettings::stateFromText(text);
        require(state >= 0 && state <= 2, "a window state out of range was read", where);
        require(widthRead, "a text is a window state but no width", where);
    } catch (const AppError& e) {
        require(knownError(e, true), "a state read failed with an unexpected error", where + ": " + e.what());
    }

    // Any width the list can have (what a read leaves after clamping) is
    // written so that it reads back unchanged, or, below a ten-thousandth of
    // a twip where no screen can tell, within a ten-thousandth of a twip; any
    // other number is written or refused, never more.
    if (bytes.size() >= 4) {
        float stored;
        std::memcpy(&stored, bytes.constData(), sizeof stored);
        const bool listWidth = std::isfinite(stored);
        const float width = listWidth ? std::clamp(stored, 0.0f, ViewSettings::kMaxWidthTwips) : stored;
        const std::string trip = QString::number(static_cast<double>(width), 'g', 9).toStdString() + " (bits of " +
                                 shown(bytes.left(4)) + ") under " + locale.name().toStdString();
        QString written;
        try {
            written = ViewSettings::widthText(width);
        } catch (const AppError& e) {
            require(!listWidth && e.number() == 380, "a width cannot be written", trip + ": " + e.what());
        }
        if (listWidth) {
            float back = 0;
            try {
                back = ViewSettings::widthFromText(written);
            } catch (const AppError& e) {
                require(false, "a written width cannot be read back", trip + " as " + shown(written) + ": " + e.what());
            }
            const bool exact = width >= 1e-4f;
            require(exact ? back == width : std::fabs(back - width) <= 1e-4f,
                    "a written width reads back as another width",
                    trip + " as " + shown(written) + " read " +
                        QString::number(static_cast<double>(back), 'g', 9).toStdString());
        }
    }
}

} // namespace fuzz
