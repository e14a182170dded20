// A hand-edited or damaged settings file at start-up: the main window loads,
// reports each value it cannot take at the step that reads it and nothing
// else, and closes leaving a file that reads back cleanly.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <random>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLocale>
#include <QRegularExpression>
#include <QTableView>

#include "base/apperror.h"
#include "store/connection.h"
#include "store/viewsettings.h"
#include "support/controls.h"
#include "support/fakes.h"
#include "support/tempenv.h"
#include "ui/main/contactsortproxy.h"
#include "ui/main/form1.h"
#include "ui/main/layout.h"
#include "ui/twips.h"

namespace {

const char kTypeMismatch[] = "Type mismatch";
const char kOverflow[] = "Overflow";
const char kInvalidValue[] = "Invalid property value";

struct Report {
    int line;
    QString description;
    bool operator==(const Report& other) const { return line == other.line && description == other.description; }
};

void PrintTo(const Report& report, std::ostream* out)
{
    *out << "line " << report.line << " " << report.description.toStdString();
}

// A stored value and what reading it has to give: an error text, or the width
// or state it stands for.
struct WidthValue {
    QByteArray text;
    const char* error;
    float width;
};

struct StateValue {
    QByteArray text;
    const char* error;
    int state;
};

// Read with the regional format of the United States (set by the fixture).
const WidthValue kWidths[] = {
    {"1800", "", 1800},
    {"1799.811", "", 1799.811f},
    {"735", "", 735},
    {"0", "", 0},
    {"-250", "", 0},
    {"-0.5", "", 0},
    {"-1e30", "", 0},
    {"0.5", "", 0.5f},
    {"1e-50", "", 0},
    {"2000000", "", ViewSettings::kMaxWidthTwips},
    {"3e38", "", ViewSettings::kMaxWidthTwips},
    {"1.5e3", "", 1500},
    {"\"  1500  \"", "", 1500},
    {"NaN", kTypeMismatch, 0},
    {"nan", kTypeMismatch, 0},
    {"inf", kTypeMismatch, 0},
    {"-inf", kTypeMismatch, 0},
    {"1e999", kOverflow, 0},
    {"-1e999", kOverflow, 0},
    {"4e38", kOverflow, 0},
    {"wide", kTypeMismatch, 0},
    {"", kTypeMismatch, 0},
    {"12px", kTypeMismatch, 0},
    {"0x10", kTypeMismatch, 0},
    {"\"\\x1\\x2\"", kTypeMismatch, 0},
    {"@Rect(1 2 3 4)", kTypeMismatch, 0},
    {"\xff\xfe\x01", kTypeMismatch, 0},
};

const StateValue kStates[] = {
    {"0", "", kStateNormal},
    {"1", "", kStateMinimized},
    {"2", "", kStateMaximized},
    {"2.5", "", kStateMaximized},
    {"1.5", "", kStateMaximized},
    {"0.4", "", kStateNormal},
    {"7", kInvalidValue, kStateNormal},
    {"-1", kInvalidValue, kStateNormal},
    {"3", kInvalidValue, kStateNormal},
    {"40000", kOverflow, kStateNormal},
    {"-40000", kOverflow, kStateNormal},
    {"NaN", kTypeMismatch, kStateNormal},
    {"1e999", kOverflow, kStateNormal},
    {"max", kTypeMismatch, kStateNormal},
    {"", kTypeMismatch, kStateNormal},
};

// One settings file and everything the start-up must make of it.
struct SettingsCase {
    std::string name;
    QByteArray file;
    std::vector<Report> reports;
    // Per column (index 0 unused): the width it must get, or nothing where
    // the read failed and the list keeps its own.
    std::array<std::optional<float>, 15> widths;
    int state = kStateNormal;
};

float defaultWidth(int column)
{
    return column == 1 ? 1.0f : 1800.0f;
}

// A case that stores nothing the window reads: no reports, the defaults.
SettingsCase nothingStored(std::string name, QByteArray file)
{
    SettingsCase c;
    c.name = std::move(name);
    c.file = std::move(file);
    for (int n = 1; n <= 14; ++n)
        c.widths[static_cast<size_t>(n)] = defaultWidth(n);
    return c;
}

// The section a user (or a fault) left: each key absent or holding one of the
// values above, chosen by the generator. The reports follow the order of the
// load's steps: column 1 at 182, the others at 186, the state at 192.
struct Section {
    QByteArray text = "[Rondexa]\n";
    std::vector<Report> reports;
    std::array<std::optional<float>, 15> widths;
    int state = kStateNormal;
};

Section randomSection(std::mt19937& rng)
{
    Section s;
    for (int n = 1; n <= 14; ++n) {
        const auto at = static_cast<size_t>(n);
        if (rng() % 5 < 2) {
            s.widths[at] = defaultWidth(n);
            continue;
        }
        const WidthValue& value = kWidths[rng() % std::size(kWidths)];
        s.text += ViewSettings::columnKey(n).toLatin1() + '=' + value.text + '\n';
        if (*value.error) {
            s.reports.push_back({n == 1 ? 182 : 186, QLatin1String(value.error)});
        } else {
            s.widths[at] = value.width;
        }
    }
    if (rng() % 5 < 4) {
        const StateValue& value = kStates[rng() % std::size(kStates)];
        s.text += "WindowState=" + value.text + '\n';
        if (*value.error)
            s.reports.push_back({192, QLatin1String(value.error)});
        s.state = value.state;
    }
    return s;
}

SettingsCase fromSection(std::string name, const Section& section, QByteArray before, QByteArray after)
{
    SettingsCase c;
    c.name = std::move(name);
    c.file = before + section.text + after;
    c.reports = section.reports;
    c.widths = section.widths;
    c.state = section.state;
    return c;
}

QByteArray randomBytes(std::mt19937& rng, size_t size)
{
    QByteArray bytes(static_cast<qsizetype>(size), '\0');
    for (char& b : bytes)
        b = static_cast<char>(rng());
    return bytes;
}

// Lines of binary garbage that look like keys: control bytes, invalid UTF-8,
// NULs, the key names themselves mangled.
QByteArray garbageKeys(std::mt19937& rng)
{
    static const QByteArray mangled[] = {QByteArray("Column\0Headers2", 15),
                                         "ColumnHeaders2\xff",
                                         "\xff\xfe",
                                         "columnheaders3",
                                         "ColumnHeaders04",
                                         "ColumnHeaders15",
                                         "WindowState\x01",
                                         "Rondexa/ColumnHeaders5"};
    QByteArray lines;
    for (int i = 0; i < 6; ++i) {
        QByteArray key = i % 2 ? mangled[rng() % std::size(mangled)] : randomBytes(rng, 1 + rng() % 12);
        key.replace('\n', 'n').replace('[', 'b');
        lines += key + '=' + randomBytes(rng, rng() % 8).replace('\n', ' ') + '\n';
    }
    return lines;
}

// A garbage section after the real one: whatever it holds (an unclosed quote,
// a line continued with a backslash) cannot reach back into [Rondexa].
QByteArray junkAfter(std::mt19937& rng, size_t size)
{
    return "\n[Junk]\n" + randomBytes(rng, size);
}

SettingsCase fixedCase(std::string name, QByteArray file, std::vector<Report> reports,
                       std::map<int, std::optional<float>> widths, int state = kStateNormal)
{
    SettingsCase c = nothingStored(std::move(name), std::move(file));
    c.reports = std::move(reports);
    for (const auto& [column, width] : widths)
        c.widths[static_cast<size_t>(column)] = width;
    c.state = state;
    return c;
}

std::vector<SettingsCase> makeCases()
{
    std::vector<SettingsCase> cases;
    const std::nullopt_t failed = std::nullopt;

    // Broken INI syntax and the program's own rules at their edges.
    cases.push_back(fixedCase("UnclosedSectionHeader", "[Rondexa\nColumnHeaders2=500\nWindowState=2\n", {},
                              {{2, 500.0f}}, kStateMaximized));
    cases.push_back(fixedCase("SectionSwallowedByAContinuedLine", "junk\\\n[Rondexa]\nColumnHeaders2=500\n", {}, {}));
    cases.push_back(
        fixedCase("SectionSwallowedByAnUnclosedQuote", "x=\"open\n[Rondexa]\nColumnHeaders2=500\n", {}, {}));
    cases.push_back(fixedCase("ValueWithAnUnclosedQuote", "[Rondexa]\nColumnHeaders2=\"open\nColumnHeaders3=600\n",
                              {{186, kTypeMismatch}}, {{2, failed}}));
    cases.push_back(fixedCase("KeyWithoutValueAndValueWithoutKey",
                              "[Rondexa]\nColumnHeaders2\n=5\nColumnHeaders3=600\n", {}, {{3, 600.0f}}));
    cases.push_back(fixedCase("WindowsLineEndsAndAByteOrderMark",
                              "\xef\xbb\xbf[Rondexa]\r\nColumnHeaders2=500\r\nWindowState=1\r\n", {}, {{2, 500.0f}},
                              kStateMinimized));
    cases.push_back(fixedCase("TheLastOfTwoValuesCounts",
                              "[Rondexa]\nColumnHeaders2=500\n[Other]\nx=1\n[Rondexa]\nColumnHeaders2=NaN\n",
                              {{186, kTypeMismatch}}, {{2, failed}}));
    cases.push_back(fixedCase("CommentsAfterValues", "[Rondexa]\nColumnHeaders2=500 ; a note\n;ColumnHeaders3=9\n", {},
                              {{2, 500.0f}}));
    cases.push_back(
        fixedCase("UnquotedGroupedNumberIsOneNumber", "[Rondexa]\nColumnHeaders2=1,800\n", {}, {{2, 1800.0f}}));
    cases.push_back(fixedCase("EscapedDigits", "[Rondexa]\nColumnHeaders2=15\\x30\n", {}, {{2, 150.0f}}));
    cases.push_back(fixedCase("EveryColumnAndTheStateBad",
                              "[Rondexa]\nColumnHeaders1=1e999\nColumnHeaders2=NaN\nColumnHeaders3=NaN\n"
                              "ColumnHeaders4=NaN\nColumnHeaders5=NaN\nColumnHeaders6=NaN\nColumnHeaders7=NaN\n"
                              "ColumnHeaders8=NaN\nColumnHeaders9=NaN\nColumnHeaders10=NaN\nColumnHeaders11=NaN\n"
                              "ColumnHeaders12=NaN\nColumnHeaders13=NaN\nColumnHeaders14=-1e999\nWindowState=-1\n",
                              {{182, kOverflow},
                               {186, kTypeMismatch},
                               {186, kTypeMismatch},
                               {186, kTypeMismatch},
                               {186, kTypeMismatch},
                               {186, kTypeMismatch},
                               {186, kTypeMismatch},
                               {186, kTypeMismatch},
                               {186, kTypeMismatch},
                               {186, kTypeMismatch},
                               {186, kTypeMismatch},
                               {186, kTypeMismatch},
                               {186, kTypeMismatch},
                               {186, kOverflow},
                               {192, kInvalidValue}},
                              {{1, failed},
                               {2, failed},
                               {3, failed},
                               {4, failed},
                               {5, failed},
                               {6, failed},
                               {7, failed},
                               {8, failed},
                               {9, failed},
                               {10, failed},
                               {11, failed},
                               {12, failed},
                               {13, failed},
                               {14, failed}}));
    cases.push_back(fixedCase("EveryColumnNegative",
                              "[Rondexa]\nColumnHeaders1=-1\nColumnHeaders2=-2\nColumnHeaders3=-3.5\n"
                              "ColumnHeaders4=-4e4\nColumnHeaders5=-5\nColumnHeaders6=-6\nColumnHeaders7=-7\n"
                              "ColumnHeaders8=-8\nColumnHeaders9=-9\nColumnHeaders10=-10\nColumnHeaders11=-11\n"
                              "ColumnHeaders12=-12\nColumnHeaders13=-13\nColumnHeaders14=-3.4e38\nWindowState=7\n",
                              {{192, kInvalidValue}},
                              {{1, 0.0f},
                               {2, 0.0f},
                               {3, 0.0f},
                               {4, 0.0f},
                               {5, 0.0f},
                               {6, 0.0f},
                               {7, 0.0f},
                               {8, 0.0f},
                               {9, 0.0f},
                               {10, 0.0f},
                               {11, 0.0f},
                               {12, 0.0f},
                               {13, 0.0f},
                               {14, 0.0f}}));
    cases.push_back(fixedCase("FractionalWidthsAndAHalfState",
                              "[Rondexa]\nColumnHeaders1=0.25\nColumnHeaders2=1799.811\nWindowState=0.5\n", {},
                              {{1, 0.25f}, {2, 1799.811f}}));
    // A value the store itself cannot decode is still a value that is there
    // and is not a number: the user wrote something, so the user is told.
    cases.push_back(fixedCase("StoredValueOfNoKnownType", "[Rondexa]\nColumnHeaders2=@Invalid()\n",
                              {{186, kTypeMismatch}}, {{2, failed}}));
    cases.push_back(fixedCase("StoredValueThatDoesNotDecode",
                              "[Rondexa]\nColumnHeaders3=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x5)\n",
                              {{186, kTypeMismatch}}, {{3, failed}}));
    cases.push_back(fixedCase("NulBytesInKeysAndValues",
                              QByteArray("[Rondexa]\nColumn") + '\0' + "Headers2=5\nColumnHeaders3=6" + '\0' +
                                  "\nColumnHeaders4=700\n",
                              {{186, kTypeMismatch}}, {{3, failed}, {4, 700.0f}}));
    cases.push_back(nothingStored("EmptyFile", ""));
    cases.push_back(nothingStored("EmptySection", "[Rondexa]\n"));
    cases.push_back(nothingStored("KeysOutsideTheSection", "ColumnHeaders2=5\n[General]\nRondexa/ColumnHeaders2=5\n"
                                                           "[rondexa]\nColumnHeaders2=5\n"));
    cases.push_back(nothingStored("OnlyNewLines", QByteArray(4096, '\n')));

    std::mt19937 rng(20240607);
    // Random bytes alone.
    for (int i = 0; i < 30; ++i) {
        const size_t size = i % 6 == 0 ? 65536 : rng() % 2048;
        cases.push_back(nothingStored("RandomBytes" + std::to_string(i), randomBytes(rng, size)));
    }
    // Every key with a value from the tables, in a file with other sections.
    for (int i = 0; i < 30; ++i) {
        const Section section = randomSection(rng);
        const QByteArray before = i % 3 == 0 ? "[Before]\nkey=value\n" : "";
        cases.push_back(fromSection("ChosenValues" + std::to_string(i), section, before, junkAfter(rng, rng() % 256)));
    }
    // Garbage around a section of chosen values, garbage keys inside it.
    for (int i = 0; i < 10; ++i) {
        Section section = randomSection(rng);
        section.text += garbageKeys(rng);
        cases.push_back(
            fromSection("GarbageAround" + std::to_string(i), section, "", junkAfter(rng, 1024 + rng() % 4096)));
    }

    // Huge files: the reads stay correct and the start-up does not fall over.
    cases.push_back(nothingStored("HugeRandomBytes", randomBytes(rng, 4 << 20)));
    {
        Section section = randomSection(rng);
        QByteArray junk = "\n[Junk]\n";
        for (int i = 0; i < 100000; ++i)
            junk += "key" + QByteArray::number(i) + "=value " + QByteArray::number(i) + '\n';
        cases.push_back(fromSection("SectionBeforeAHundredThousandKeys", section, "", junk));
    }
    cases.push_back(fixedCase("HugeNumber", "[Rondexa]\nColumnHeaders2=1" + QByteArray(3 << 20, '0') + '\n',
                              {{186, kOverflow}}, {{2, failed}}));
    cases.push_back(fixedCase("HugeWord", "[Rondexa]\nColumnHeaders3=" + QByteArray(5 << 20, 'x'),
                              {{186, kTypeMismatch}}, {{3, failed}}));
    cases.push_back(fixedCase("StateAfterAMegabyteOfBlanks",
                              "[Rondexa]\nWindowState=" + QByteArray(1 << 20, ' ') + "2\n", {}, {}, kStateMaximized));
    cases.push_back(fixedCase("SectionAfterTwoMegabytesOfLineBreaks",
                              QByteArray(2 << 20, '\n') + "[Rondexa]\nColumnHeaders5=2500\n", {}, {{5, 2500.0f}}));
    {
        QByteArray repeated;
        for (int i = 0; i < 50000; ++i)
            repeated += "[Rondexa]\nColumnHeaders2=" + QByteArray::number(i) + '\n';
        cases.push_back(fixedCase("FiftyThousandRepeatedSections", repeated, {}, {{2, 49999.0f}}));
    }
    cases.push_back(fixedCase("HugeKeyName", "[Rondexa]\n" + QByteArray(3 << 20, 'K') + "=1\nColumnHeaders2=700\n", {},
                              {{2, 700.0f}}));
    cases.push_back(fixedCase("HugeSectionName",
                              '[' + QByteArray(2 << 20, 'S') + "]\nColumnHeaders2=5\n[Rondexa]\nColumnHeaders4=800\n",
                              {}, {{4, 800.0f}}));
    {
        Section section = randomSection(rng);
        cases.push_back(fromSection("SectionInsideHugeGarbage", section, "", junkAfter(rng, 3 << 20)));
    }
    return cases;
}

const std::vector<SettingsCase>& allCases()
{
    static const std::vector<SettingsCase> cases = makeCases();
    return cases;
}

// The reports of the load, taken apart: the description and the line.
std::vector<Report> loadReports(const ScriptedMessages& messages)
{
    static const QRegularExpression form(
        QStringLiteral("^(.*)\\r\\nin Rondexa2021/08/31\\.Form1\\.Form_Load at line (\\d+)\\r\\r"),
        QRegularExpression::DotMatchesEverythingOption);
    std::vector<Report> reports;
    for (const MessageRequest& shown : messages.shown()) {
        const QRegularExpressionMatch m = form.match(shown.text);
        reports.push_back(m.hasMatch() ? Report{m.captured(2).toInt(), m.captured(1)} : Report{-1, shown.text});
    }
    return reports;
}

class SettingsAtStartUp : public testing::TestWithParam<size_t> {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void TearDown() override { QLocale::setDefault(mLocale); }

private:
    QLocale mLocale;
};

TEST_P(SettingsAtStartUp, ReportsOnlyWhatItCannotTakeAndClosesCleanly)
{
    const SettingsCase& c = allCases()[GetParam()];
    TempEnv env;
    writeFile(ViewSettings::filePath(), c.file);
    ScriptedMessages& messages = env.messages();
    RecordedEnd& end = env.end();

    std::array<float, 15> closingWidths{};
    int closingState = -1;
    {
        Form1 form(env.session());
        ASSERT_TRUE(form.Form_Load());
        EXPECT_FALSE(end.ended());
        EXPECT_EQ(loadReports(messages), c.reports);
        ASSERT_EQ(form.listModel().columnCount(), 14);
        QHeaderView* header = control<QTableView>(form, "ListView1").horizontalHeader();
        for (int n = 1; n <= 14; ++n) {
            SCOPED_TRACE(n);
            const std::optional<float>& width = c.widths[static_cast<size_t>(n)];
            const double shown = form.columnWidthTwips(n - 1);
            EXPECT_GE(shown, 0.0);
            if (width) {
                EXPECT_EQ(shown, static_cast<double>(*width));
                EXPECT_EQ(header->sectionSize(n - 1), twipsToPixels(*width));
            }
            closingWidths[static_cast<size_t>(n)] = static_cast<float>(shown);
        }
        const bool minimized = form.windowState() & Qt::WindowMinimized;
        const bool maximized = form.windowState() & Qt::WindowMaximized;
        EXPECT_EQ(minimized, c.state == kStateMinimized);
        EXPECT_EQ(maximized, c.state == kStateMaximized);
        EXPECT_EQ(form.maximizedLayout(), c.state != kStateNormal);
        closingState = c.state;

        messages.clear();
        form.Form_QueryUnload();
        EXPECT_TRUE(messages.shown().empty()) << messages.texts().join("|").left(2000).toStdString();
        EXPECT_FALSE(env.gConn());
    }

    // What the closing wrote reads back without a single error.
    const ViewSettings restarted;
    for (int n = 1; n <= 14; ++n) {
        SCOPED_TRACE(n);
        float width = -1;
        EXPECT_NO_THROW(width = restarted.columnWidth(n));
        EXPECT_EQ(width, closingWidths[static_cast<size_t>(n)]);
    }
    int state = -1;
    EXPECT_NO_THROW(state = restarted.windowState());
    EXPECT_EQ(state, closingState);
}

INSTANTIATE_TEST_SUITE_P(Malformed, SettingsAtStartUp, testing::Range<size_t>(0, allCases().size()),
                         [](const testing::TestParamInfo<size_t>& param) { return allCases()[param.param].name; });

} // namespace
