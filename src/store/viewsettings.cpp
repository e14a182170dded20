#include "store/viewsettings.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include <QLocale>
#include <QSettings>
#include <QStringList>
#include <QVariant>

#include "base/apperror.h"
#include "store/paths.h"

namespace {

const char kSection[] = "Rondexa/";
const char kStateKey[] = "WindowState";
const char* const kGeometryKeys[] = {"WindowLeft", "WindowTop", "WindowWidth", "WindowHeight"};
const char kSortColumnKey[] = "SortColumn";
const char kSortOrderKey[] = "SortOrder";
// Far beyond any screen, and small enough that twips in pixels fit an int.
const int kFarthestTwips = 10'000'000;

// The numbers and texts of the errors the original conversions raised, so a
// report reads as the user would know it.
AppError typeMismatch()
{
    return AppError(QStringLiteral("Type mismatch"), AppError::kTypeMismatch);
}

AppError overflow()
{
    return AppError(QStringLiteral("Overflow"), AppError::kOverflow);
}

// Digits of any script as ASCII ones, and the Arabic decimal sign as the
// user's: widths written with the digits of an Arabic locale, as earlier
// versions did, still read back elsewhere.
QString withAsciiDigits(const QString& text)
{
    QString ascii = text;
    for (QChar& c : ascii) {
        if (c.category() == QChar::Number_DecimalDigit && c.unicode() >= 0x80)
            c = QChar(u'0' + c.digitValue());
        else if (c == QChar(0x066B))
            c = QLocale().decimalPoint().at(0);
    }
    return ascii;
}

// A finite number in the user's regional format. QLocale takes "nan" and
// "inf" as numbers; to the user they are not, so they fail like any word.
double regionalNumber(const QString& text)
{
    bool ok = false;
    double value = QLocale().toDouble(text, &ok);
    if (!ok) {
        const QString ascii = withAsciiDigits(text);
        if (ascii != text)
            value = QLocale().toDouble(ascii, &ok);
    }
    if (!ok)
        throw std::isinf(value) ? overflow() : typeMismatch();
    if (!std::isfinite(value))
        throw typeMismatch();
    return value;
}

} // namespace

ViewSettings::ViewSettings() : mPath(filePath()) {}

QSettings* ViewSettings::store() const
{
    // A pipe or a device in the file's place would block or feed the
    // settings forever: only a plain file (or none yet) is used, looked at
    // anew each time, as the file may be replaced while the program runs.
    if (mPath.isEmpty() || !absentOrRegularFile(mPath)) {
        mStore.reset();
        return nullptr;
    }
    // An explicit file rather than QSettings' organization lookup: that one
    // caches the configuration folder for the whole process, so a changed
    // XDG_CONFIG_HOME would go unnoticed.
    if (!mStore)
        mStore = std::make_unique<QSettings>(mPath, QSettings::IniFormat);
    return mStore.get();
}

ViewSettings::~ViewSettings() = default;

QString ViewSettings::filePath()
{
    const QString base = xdgBaseFolder("XDG_CONFIG_HOME", ".config");
    return base.isEmpty() ? QString() : base + QStringLiteral("/Marrowind.conf");
}

QString ViewSettings::columnKey(int n)
{
    return QStringLiteral("ColumnHeaders") + QString::number(n);
}

float ViewSettings::columnWidth(int n) const
{
    if (n < 1 || n > kColumns)
        throw AppError::indexOutOfBounds();
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
        throw AppError::indexOutOfBounds();
    write(columnKey(n), widthText(twips));
}

void ViewSettings::setWindowState(int state)
{
    write(QLatin1String(kStateKey), QString::number(state));
}

std::optional<QRect> ViewSettings::windowGeometry() const
{
    int values[4] = {};
    for (size_t i = 0; i < std::size(kGeometryKeys); ++i) {
        if (readText(QLatin1String(kGeometryKeys[i]), QString()).isEmpty())
            return std::nullopt;
        values[i] = readWhole(kGeometryKeys[i], 0, i < 2 ? -kFarthestTwips : 1, kFarthestTwips);
    }
    return QRect(values[0], values[1], values[2], values[3]);
}

void ViewSettings::setWindowGeometry(const QRect& twips)
{
    const int values[] = {twips.left(), twips.top(), twips.width(), twips.height()};
    for (size_t i = 0; i < std::size(kGeometryKeys); ++i)
        write(QLatin1String(kGeometryKeys[i]), QString::number(values[i]));
}

int ViewSettings::sortColumn() const
{
    return readWhole(kSortColumnKey, 0, 0, kColumns);
}

bool ViewSettings::sortDescending() const
{
    return readWhole(kSortOrderKey, 0, 0, 1) == 1;
}

void ViewSettings::setSort(int column, bool descending)
{
    write(QLatin1String(kSortColumnKey), QString::number(column));
    write(QLatin1String(kSortOrderKey), QString::number(descending ? 1 : 0));
}

int ViewSettings::readWhole(const char* key, int fallback, int lowest, int highest) const
{
    const QString text = readText(QLatin1String(key), QString());
    if (text.isEmpty())
        return fallback;
    const double value = regionalNumber(text);
    if (value != std::nearbyint(value))
        throw typeMismatch();
    if (value < lowest || value > highest)
        throw AppError::invalidPropertyValue();
    return static_cast<int>(value);
}

QString ViewSettings::widthText(float twips)
{
    if (!std::isfinite(twips))
        throw AppError::invalidPropertyValue();
    // ASCII digits in every locale, with the user's decimal sign: a file
    // written under Arabic digits must still read under any other locale.
    // Never a group separator ("1,800" would read back as a decimal in half
    // the world's formats), never an exponent (Swedish writes "×10^" and a
    // minus sign of its own; any width the list can have is far from needing
    // one). Seven digits is how a single-precision number is normally shown;
    // the few values that need more to come back unchanged get nine.
    const QString point = QLocale().decimalPoint();
    const QLocale plain = QLocale::c();
    for (const int digits : {7, 9}) {
        QString text = plain.toString(static_cast<double>(twips), 'g', digits);
        if (text.contains(QLatin1Char('e')))
            continue;
        text.replace(QLatin1Char('.'), point);
        if (widthFromText(text) == twips)
            return text;
    }
    return plain.toString(static_cast<double>(twips), 'f', 4).replace(QLatin1Char('.'), point);
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
        throw AppError::invalidPropertyValue();
    return state;
}

AppError ViewSettings::unusableFile() const
{
    return AppError(mPath.isEmpty() ? QStringLiteral("There is no home folder to keep the view settings in")
                                    : QStringLiteral("The settings file %1 is not a plain file").arg(mPath),
                    AppError::kFileAccess);
}

QString ViewSettings::readText(const QString& key, const QString& fallback) const
{
    // Said once; the other values take their defaults.
    QSettings* settings = store();
    if (!settings) {
        if (!mReadRefused) {
            mReadRefused = true;
            throw unusableFile();
        }
        return fallback;
    }
    const QString name = QLatin1String(kSection) + key;
    if (!settings->contains(name))
        return fallback;
    const QVariant value = settings->value(name);
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
    QSettings* settings = store();
    if (!settings) {
        if (!mWriteRefused) {
            mWriteRefused = true;
            throw unusableFile();
        }
        return;
    }
    settings->setValue(QLatin1String(kSection) + key, text);
    settings->sync();
    // A format error only says that parts of the old file could not be read;
    // the new value was still written. Access errors mean it was not.
    if (settings->status() == QSettings::AccessError)
        throw AppError(QStringLiteral("Cannot write the settings file %1").arg(mPath), AppError::kFileAccess);
}
