#include "ui/main/viewsettings.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include <QLocale>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QVariant>

#include "app/apperror.h"

namespace {

const char kSection[] = "Rondexa/";
const char kStateKey[] = "WindowState";

// The numbers and texts of the errors the original conversions raised, so a
// report reads as the user would know it.
AppError typeMismatch()
{
    return AppError(QStringLiteral("Type mismatch"), 13);
}

AppError overflow()
{
    return AppError(QStringLiteral("Overflow"), 6);
}

AppError invalidPropertyValue()
{
    return AppError(QStringLiteral("Invalid property value"), 380);
}

// A finite number in the user's regional format. QLocale takes "nan" and
// "inf" as numbers; to the user they are not, so they fail like any word.
double regionalNumber(const QString& text)
{
    bool ok = false;
    const double value = QLocale().toDouble(text, &ok);
    if (!ok)
        throw std::isinf(value) ? overflow() : typeMismatch();
    if (!std::isfinite(value))
        throw typeMismatch();
    return value;
}

} // namespace

ViewSettings::ViewSettings() : mPath(filePath())
{
    // An explicit file rather than QSettings' organization lookup: that one
    // caches the configuration folder for the whole process, so a changed
    // XDG_CONFIG_HOME would go unnoticed.
    mStore = std::make_unique<QSettings>(mPath, QSettings::IniFormat);
}

ViewSettings::~ViewSettings() = default;

QString ViewSettings::filePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Marrowind.conf");
}

QString ViewSettings::columnKey(int n)
{
    return QStringLiteral("ColumnHeaders") + QString::number(n);
}

float ViewSettings::columnWidth(int n) const
{
    if (n < 1 || n > kColumns)
        throw AppError(QStringLiteral("Index out of bounds"), 35600);
    const float width = widthFromText(readText(columnKey(n), n == 1 ? QStringLiteral("1") : QStringLiteral("1800")));
    return std::clamp(width, 0.0f, kMaxWidthTwips);
}

int ViewSettings::windowState() const
{
    return stateFromText(readText(QLatin1String(kStateKey), QStringLiteral("0")));
}

void ViewSettings::setColumnWidth(int n, float twips)
{
    if (n < 1 || n > kColumns)
        throw AppError(QStringLiteral("Index out of bounds"), 35600);
    write(columnKey(n), widthText(twips));
}

void ViewSettings::setWindowState(int state)
{
    write(QLatin1String(kStateKey), QString::number(state));
}

QString ViewSettings::widthText(float twips)
{
    if (!std::isfinite(twips))
        throw invalidPropertyValue();
    QLocale locale;
    // 1800, never "1,800": a group separator would read back as a decimal
    // sign in half the world's formats.
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    // Seven digits is how a single-precision number is normally shown; the
    // few values that need more to come back unchanged get nine.
    // Exponent forms do not read back in every regional format (Swedish
    // writes "×10^" and a minus sign of its own); plain decimals always do,
    // and any width the list can have is far from needing an exponent.
    for (const int digits : {7, 9}) {
        const QString text = locale.toString(static_cast<double>(twips), 'g', digits);
        if (!text.contains(locale.exponential(), Qt::CaseInsensitive) && widthFromText(text) == twips)
            return text;
    }
    return locale.toString(static_cast<double>(twips), 'f', 4);
}

float ViewSettings::widthFromText(const QString& text)
{
    const double value = regionalNumber(text);
    if (std::fabs(value) > static_cast<double>(FLT_MAX))
        throw overflow();
    return static_cast<float>(value);
}

int ViewSettings::stateFromText(const QString& text)
{
    // A 16-bit integer, rounded half to even as the conversion to one does.
    const double value = std::nearbyint(regionalNumber(text));
    if (value < -32768 || value > 32767)
        throw overflow();
    const int state = static_cast<int>(value);
    if (state < 0 || state > 2)
        throw invalidPropertyValue();
    return state;
}

QString ViewSettings::readText(const QString& key, const QString& fallback) const
{
    const QString name = QLatin1String(kSection) + key;
    if (!mStore->contains(name))
        return fallback;
    const QVariant value = mStore->value(name);
    // An unquoted comma in a hand-edited file splits the text into a list:
    // "1799,811" is still the number the user wrote.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    // A stored value that is there but is no text (an "@Variant(...)" that
    // does not decode) is as unreadable as a word where a number belongs.
    if (!value.isValid() || !value.canConvert<QString>())
        throw typeMismatch();
    return value.toString();
}

void ViewSettings::write(const QString& key, const QString& text)
{
    mStore->setValue(QLatin1String(kSection) + key, text);
    mStore->sync();
    // A format error only says that parts of the old file could not be read;
    // the new value was still written. Access errors mean it was not.
    if (mStore->status() == QSettings::AccessError)
        throw AppError(QStringLiteral("Cannot write the settings file %1").arg(mPath), 75);
}
