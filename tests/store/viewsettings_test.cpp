#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSettings>

#include "base/apperror.h"
#include "base/errortrap.h"
#include "store/viewsettings.h"
#include "support/fakes.h"
#include "support/tempenv.h"

namespace {

// Switches the program's regional number format for one test.
class RegionalFormat {
public:
    explicit RegionalFormat(const QLocale& locale) : mOld(QLocale()) { QLocale::setDefault(locale); }
    ~RegionalFormat() { QLocale::setDefault(mOld); }

private:
    QLocale mOld;
};

QByteArray readFile(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

// The description of the error a read throws; empty when it throws none.
template <class F> QString errorOf(F&& read)
{
    try {
        read();
    } catch (const AppError& e) {
        return e.description();
    }
    return QString();
}

} // namespace

TEST(ViewSettings, FirstRunGivesTheDefaultsAndWritesNothing)
{
    TempEnv env;
    EXPECT_EQ(ViewSettings::filePath(), env.configHome() + "/Marrowind.conf");
    const ViewSettings settings;
    EXPECT_EQ(settings.columnWidth(1), 1.0f);
    for (int n = 2; n <= 14; ++n)
        EXPECT_EQ(settings.columnWidth(n), 1800.0f) << n;
    EXPECT_EQ(settings.windowState(), 0);
    EXPECT_THROW(settings.columnWidth(0), AppError);
    EXPECT_THROW(settings.columnWidth(15), AppError);
    EXPECT_FALSE(QFile::exists(ViewSettings::filePath()));
}

TEST(ViewSettings, WidthsAndStateSurviveARestartAsText)
{
    TempEnv env;
    {
        ViewSettings settings;
        settings.setColumnWidth(1, 2400);
        settings.setColumnWidth(3, 0);
        settings.setColumnWidth(14, 735.5f);
        settings.setWindowState(1);
    }
    {
        const ViewSettings settings;
        EXPECT_EQ(settings.columnWidth(1), 2400.0f);
        EXPECT_EQ(settings.columnWidth(2), 1800.0f);
        EXPECT_EQ(settings.columnWidth(3), 0.0f) << "a column narrowed to nothing stays so";
        EXPECT_EQ(settings.columnWidth(14), 735.5f);
        EXPECT_EQ(settings.windowState(), 1);
    }
    {
        ViewSettings settings;
        settings.setWindowState(2);
    }
    EXPECT_EQ(ViewSettings().windowState(), 2);

    // Any other reader of the file sees the section, the keys and plain text.
    const QByteArray file = readFile(env.configHome() + "/Marrowind.conf");
    EXPECT_TRUE(file.contains("[Rondexa]\n")) << file.constData();
    EXPECT_TRUE(file.contains("\nColumnHeaders1=2400\n")) << file.constData();
    EXPECT_TRUE(file.contains("\nColumnHeaders3=0\n")) << file.constData();
    EXPECT_TRUE(file.contains("\nWindowState=2\n")) << file.constData();
    QSettings raw(ViewSettings::filePath(), QSettings::IniFormat);
    EXPECT_EQ(raw.value("Rondexa/ColumnHeaders14").typeId(), QMetaType::QString);
}

TEST(ViewSettings, FractionalWidthsUseTheRegionalDecimalSign)
{
    TempEnv env;
    {
        const RegionalFormat german(QLocale(QLocale::German, QLocale::Germany));
        ViewSettings settings;
        settings.setColumnWidth(2, 1799.811f);
        settings.setColumnWidth(4, 123456.78f);
        EXPECT_EQ(QSettings(ViewSettings::filePath(), QSettings::IniFormat).value("Rondexa/ColumnHeaders2"),
                  "1799,811");
        EXPECT_EQ(QSettings(ViewSettings::filePath(), QSettings::IniFormat).value("Rondexa/ColumnHeaders4"),
                  "123456,781")
            << "no group separator, and the digits it takes to come back unchanged";
        const ViewSettings restarted;
        EXPECT_EQ(restarted.columnWidth(2), 1799.811f);
        EXPECT_EQ(restarted.columnWidth(4), 123456.78f);
        EXPECT_EQ(ViewSettings::widthFromText("1.799,811"), 1799.811f) << "grouping is accepted on reading";
    }
    {
        const RegionalFormat english(QLocale(QLocale::English, QLocale::UnitedStates));
        EXPECT_EQ(ViewSettings::widthText(1799.811f), "1799.811");
        EXPECT_EQ(ViewSettings::widthText(18000.0f), "18000");
        EXPECT_EQ(ViewSettings::widthFromText("1799.811"), 1799.811f);
    }
    // A hand-edited file may hold the comma unquoted.
    writeFile(ViewSettings::filePath(), "[Rondexa]\nColumnHeaders2=1799,811\n");
    const RegionalFormat german(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(ViewSettings().columnWidth(2), 1799.811f);
}

// Arabic digits in the file would make every later start under another
// locale fail: the digits are always ASCII, and Arabic ones (as earlier
// versions wrote them) still read.
TEST(ViewSettings, WidthsAreWrittenWithAsciiDigitsUnderEveryLocale)
{
    TempEnv env;
    {
        const RegionalFormat arabic(QLocale(QLocale::Arabic, QLocale::Egypt));
        ViewSettings settings;
        settings.setColumnWidth(2, 1800.0f);
        settings.setColumnWidth(3, 1799.5f);
        EXPECT_EQ(QSettings(ViewSettings::filePath(), QSettings::IniFormat).value("Rondexa/ColumnHeaders2"), "1800");
        EXPECT_EQ(ViewSettings().columnWidth(3), 1799.5f);
    }
    const RegionalFormat english(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(ViewSettings().columnWidth(2), 1800.0f);
    writeFile(ViewSettings::filePath(), "[Rondexa]\nColumnHeaders2=\xd9\xa1\xd9\xa8\xd9\xa0\xd9\xa0\n");
    EXPECT_EQ(ViewSettings().columnWidth(2), 1800.0f);
}

TEST(ViewSettings, BadValuesFailForTheirOwnKeyOnly)
{
    TempEnv env;
    ScriptedMessages& messages = env.messages();
    writeFile(ViewSettings::filePath(), "[Rondexa]\nColumnHeaders1=735\nColumnHeaders2=wide\nColumnHeaders5=2100\n"
                                        "ColumnHeaders9=\nWindowState=7\n");
    const ViewSettings settings;
    // The restore's steps, each in the trap as the window's load runs them.
    ErrorTrap trap(env.seam(), locationTag("Form1", "Form_Load"));
    float widths[15] = {};
    int state = 0;
    trap.step(182, [&] { widths[1] = settings.columnWidth(1); });
    for (int n = 2; n <= 14; ++n)
        trap.step(186, [&] { widths[n] = settings.columnWidth(n); });
    trap.step(192, [&] { state = settings.windowState(); });

    ASSERT_EQ(messages.shown().size(), 3u) << messages.texts().join("|").toStdString();
    EXPECT_TRUE(messages.texts()[0].startsWith("Type mismatch\r\n"));
    EXPECT_TRUE(messages.texts()[0].contains("Form1.Form_Load at line 186\r\r"));
    EXPECT_TRUE(messages.texts()[1].startsWith("Type mismatch\r\n")) << "an empty text is no number either";
    EXPECT_TRUE(messages.texts()[2].startsWith("Invalid property value\r\n"));
    EXPECT_TRUE(messages.texts()[2].contains("Form1.Form_Load at line 192\r\r"));
    EXPECT_EQ(widths[1], 735.0f);
    EXPECT_EQ(widths[2], 0.0f) << "a failed read keeps the previous width";
    EXPECT_EQ(widths[5], 2100.0f);
    EXPECT_EQ(widths[14], 1800.0f);
    EXPECT_EQ(state, 0);
}

TEST(ViewSettings, NumbersOutOfReachAreErrorsAndOutOfRangeWidthsClamp)
{
    const RegionalFormat english(QLocale(QLocale::English, QLocale::UnitedStates));
    struct Width {
        const char* text;
        const char* error;
        float applied;
    };
    const Width widths[] = {
        {"NaN", "Type mismatch", 0},
        {"nan", "Type mismatch", 0},
        {"inf", "Type mismatch", 0},
        {"-inf", "Type mismatch", 0},
        {"1e999", "Overflow", 0},
        {"-1e999", "Overflow", 0},
        {"4e38", "Overflow", 0},
        {"0x10", "Type mismatch", 0},
        {"12px", "Type mismatch", 0},
        {"-250", "", 0},
        {"-0.5", "", 0},
        {"3e38", "", ViewSettings::kMaxWidthTwips},
        {"1000001", "", ViewSettings::kMaxWidthTwips},
        {"1e-50", "", 0},
        {"  1800  ", "", 1800},
        {"1.5e3", "", 1500},
    };
    TempEnv env;
    // Each case under a key of its own, thirteen to a file.
    for (size_t first = 0; first < std::size(widths); first += 13) {
        const size_t end = std::min(first + 13, std::size(widths));
        QByteArray file = "[Rondexa]\n";
        for (size_t i = first; i < end; ++i)
            file +=
                "ColumnHeaders" + QByteArray::number(static_cast<int>(i - first) + 2) + "=\"" + widths[i].text + "\"\n";
        writeFile(ViewSettings::filePath(), file);
        const ViewSettings settings;
        for (size_t i = first; i < end; ++i) {
            SCOPED_TRACE(widths[i].text);
            float width = -1;
            EXPECT_EQ(errorOf([&] { width = settings.columnWidth(static_cast<int>(i - first) + 2); }), widths[i].error);
            if (*widths[i].error == 0) {
                EXPECT_EQ(width, widths[i].applied);
            }
        }
    }

    struct State {
        const char* text;
        const char* error;
        int state;
    };
    // Rounded to a whole number half to even before the range check.
    const State states[] = {{"7", "Invalid property value", 0},
                            {"-1", "Invalid property value", 0},
                            {"3", "Invalid property value", 0},
                            {"40000", "Overflow", 0},
                            {"NaN", "Type mismatch", 0},
                            {"1e999", "Overflow", 0},
                            {"max", "Type mismatch", 0},
                            {"2.5", "", 2},
                            {"1.5", "", 2},
                            {"0.4", "", 0},
                            {" 1 ", "", 1}};
    for (const State& s : states) {
        SCOPED_TRACE(s.text);
        int state = -1;
        EXPECT_EQ(errorOf([&] { state = ViewSettings::stateFromText(s.text); }), s.error);
        if (*s.error == 0) {
            EXPECT_EQ(state, s.state);
        }
    }
}

TEST(ViewSettings, AWriteThatCannotReachTheFileIsAnError)
{
    TempEnv env;
    // A plain file where the configuration folder should be.
    writeFile(env.root() + "/blocked", "not a folder");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(env.root() + "/blocked/config"));
    ViewSettings settings;
    // Reading such a store is no error: nothing is stored.
    EXPECT_EQ(settings.columnWidth(2), 1800.0f);
    const QString widthError = errorOf([&] { settings.setColumnWidth(2, 1500); });
    EXPECT_EQ(widthError, "Cannot write the settings file " + env.root() + "/blocked/config/Marrowind.conf");
    EXPECT_FALSE(errorOf([&] { settings.setWindowState(2); }).isEmpty());
}

TEST(ViewSettings, MalformedFilesNeverCrashAndStillTakeNewValues)
{
    TempEnv env;
    std::mt19937 rng(20240607);
    const QByteArray keys[] = {"ColumnHeaders1", "ColumnHeaders7", "ColumnHeaders14", "WindowState"};
    const QByteArray values[] = {"1e999",
                                 "-1e999",
                                 "NaN",
                                 "-40",
                                 "1799.811",
                                 "7",
                                 "-1",
                                 "@Variant(\x01\x02)",
                                 "@ByteArray(1800)",
                                 "\"unterminated",
                                 "1,2,3",
                                 "",
                                 "99999999999999999999999"};
    for (int i = 0; i < 100; ++i) {
        SCOPED_TRACE(i);
        QByteArray bytes;
        std::uniform_int_distribution<int> byte(0, 255);
        std::uniform_int_distribution<int> noise(0, i % 4 == 0 ? 3000 : 60);
        for (int n = noise(rng); n > 0; --n)
            bytes += static_cast<char>(byte(rng));
        bytes += i % 3 == 0 ? "\n[Rondexa]\n" : "\n[Rondexa\n";
        for (int line = 0; line < 6; ++line) {
            bytes += keys[rng() % std::size(keys)] + "=" + values[rng() % std::size(values)] + "\n";
            if (rng() % 5 == 0)
                bytes += static_cast<char>(byte(rng));
        }
        writeFile(ViewSettings::filePath(), bytes);

        ViewSettings settings;
        for (int n = 1; n <= 14; ++n) {
            try {
                const float width = settings.columnWidth(n);
                EXPECT_GE(width, 0.0f);
                EXPECT_LE(width, ViewSettings::kMaxWidthTwips);
            } catch (const AppError&) {
            }
        }
        try {
            const int state = settings.windowState();
            EXPECT_TRUE(state >= 0 && state <= 2) << state;
        } catch (const AppError&) {
        }
        // Closing writes over whatever was there, without an error.
        EXPECT_NO_THROW(settings.setColumnWidth(7, 2222));
        EXPECT_NO_THROW(settings.setWindowState(1));
        const ViewSettings restarted;
        EXPECT_EQ(restarted.columnWidth(7), 2222.0f);
        EXPECT_EQ(restarted.windowState(), 1);
    }
}
