#include <atomic>
#include <chrono>
#include <future>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

#include "datafile.h"

namespace {

using contact::Field;

#ifdef __SANITIZE_ADDRESS__
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, size_t),
                                                         void (*onFree)(const volatile void*));
extern "C" size_t __sanitizer_get_allocated_size(const volatile void* pointer);

// The heap an import takes at its most, counted through the sanitizer's
// allocator: the machine's memory use would count its shadow and quarantine.
std::atomic<bool> gCounting{false};
std::atomic<long long> gLive{0};
std::atomic<long long> gPeak{0};

void countMalloc(const volatile void*, size_t size)
{
    if (!gCounting)
        return;
    const long long live = gLive += static_cast<long long>(size);
    long long peak = gPeak;
    while (live > peak && !gPeak.compare_exchange_weak(peak, live)) {
    }
}

void countFree(const volatile void* pointer)
{
    if (gCounting)
        gLive -= static_cast<long long>(__sanitizer_get_allocated_size(pointer));
}

long long peakHeapOf(const std::function<void()>& work)
{
    static const bool installed = __sanitizer_install_malloc_and_free_hooks(countMalloc, countFree) != 0;
    EXPECT_TRUE(installed);
    gLive = 0;
    gPeak = 0;
    gCounting = true;
    work();
    gCounting = false;
    return gPeak;
}
#endif

// More cards than the reading thread hands over at once, so that rows are
// already inserted when the file turns out to be bad.
const int kManyCards = 300;

QByteArray manyCards()
{
    QByteArray bytes;
    for (int i = 0; i < kManyCards; ++i)
        bytes += card("3.0", {QByteArray("FN:Person ").append(QByteArray::number(i)).constData()});
    return bytes;
}

QStringList storedNames(DataFile& data)
{
    QStringList names;
    for (const Contact& c : data.contacts())
        names << c[Field::Name];
    return names;
}

TEST(VCardImport, ABrokenFileImportsNothingAndNamesTheLine)
{
    // Each generated card takes four lines.
    const int nextLine = kManyCards * 4 + 1;
    const struct {
        const char* file;
        QByteArray bytes;
        QString error;
    } cases[] = {
        {"unended.vcf", manyCards() + "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Left Open\r\n",
         QStringLiteral("line %1: card not ended").arg(nextLine)},
        {"stray.vcf", manyCards() + "Dear John,\r\n" + card("3.0", {"FN:After"}),
         QStringLiteral("line %1: text outside a card").arg(nextLine)},
        {"openInsideOpen.vcf", manyCards() + "BEGIN:VCARD\r\nFN:A\r\n" + card("3.0", {"FN:B"}),
         QStringLiteral("line %1: card not ended").arg(nextLine)},
    };
    for (const auto& row : cases) {
        DataFile data;
        data.store(contactWith({{Field::Name, QStringLiteral("Kept Before")}}));
        const VCardImportResult result = data.import(QString::fromUtf8(row.file), row.bytes);
        EXPECT_FALSE(result.imported) << row.file;
        EXPECT_EQ(result.error, row.error);
        EXPECT_EQ(summaryLine(result),
                  QString::fromUtf8(row.file) + QStringLiteral(": nothing imported: ") + row.error);
        EXPECT_EQ(storedNames(data), QStringList{QStringLiteral("Kept Before")}) << row.file;
    }
}

// Programs that wrote files for DOS, or in blocks, pad them after the last card.
TEST(VCardImport, PaddingAfterTheLastCardIsNoText)
{
    const QByteArray cards = card("3.0", {"FN:Ann"}) + card("3.0", {"FN:Bo"});
    for (const QByteArray& file : {cards + "\x1a", cards.chopped(2) + "\x1a", cards + QByteArray(300, '\0'),
                                   cards + "\f", cards + "\f\r\n" + card("3.0", {"FN:Cy"}) + "\0\x1a"}) {
        DataFile data;
        const VCardImportResult result = data.import(QStringLiteral("padded.vcf"), file);
        EXPECT_TRUE(result.imported) << summaryLine(result).toStdString();
        EXPECT_EQ(result.added, file.count("FN:"));
    }
}

TEST(VCardImport, ACancelLeavesNothingAndTheFileCanBeImportedAfterwards)
{
    DataFile data;
    data.store(contactWith({{Field::Name, QStringLiteral("Kept Before")}}));
    int lastDone = -1;
    int calls = 0;
    const VCardImportResult cancelled = data.import(QStringLiteral("many.vcf"), manyCards(), [&](int done, int total) {
        EXPECT_EQ(total, kManyCards);
        EXPECT_GT(done, lastDone);
        lastDone = done;
        ++calls;
        return done < 128;
    });
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_FALSE(cancelled.imported);
    EXPECT_GE(calls, 2);
    EXPECT_EQ(summaryLine(cancelled), QStringLiteral("many.vcf: cancelled, nothing imported"));
    EXPECT_EQ(storedNames(data), QStringList{QStringLiteral("Kept Before")});

    // The names seen before the cancel are not taken, and nothing stays locked.
    const VCardImportResult again = data.import(QStringLiteral("many.vcf"), manyCards());
    EXPECT_TRUE(again.imported);
    EXPECT_EQ(again.added, kManyCards);
    EXPECT_EQ(data.contacts().size(), size_t(kManyCards + 1));
}

TEST(VCardImport, SkipsWhatIsAlreadyThereAndCountsWhatWasKept)
{
    DataFile data;
    data.store(contactWith({{Field::Name, QStringLiteral("Anna Berg")}}));
    data.store(contactWith({{Field::Name, QStringLiteral("Élodie Ünal")}}));
    const QByteArray file =
        card("3.0", {"FN:ANNA BERG", "TEL:1"}) + card("4.0", {"FN:Carl Dahl", "EMAIL:c@x"}) +
        card("3.0", {"FN:carl DAHL"}) + card("3.0", {"FN:élodie ünal"}) + card("3.0", {"FN: ", "NOTE:only a note"}) +
        card("3.0", {"FN:Dora", "ORG:Acme;Sales", "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQ"}) +
        card("2.1", {"N:Eck;Fritz", "TEL;CELL:2"}) + card("3.0", {"FN:Gus", "NOTE;CHARSET=X-NO-SUCH:caf\xE9"}) +
        card("4.0", {"FN:Carl Dahl", "EMAIL:c@x"});
    const VCardImportResult result = data.import(QStringLiteral("dups.vcf"), file);
    EXPECT_TRUE(result.imported);
    EXPECT_EQ(result.cards, 9);
    // Within the file only the very same contact again is skipped.
    EXPECT_EQ(summaryLine(result),
              QStringLiteral("dups.vcf: 5 added, 3 skipped as already there (ANNA BERG, élodie ünal, Carl Dahl), "
                             "1 without a name skipped, 1 kept partly in the remarks, "
                             "1 with characters that could not be read"));
    const std::vector<Contact> stored = data.contacts();
    ASSERT_EQ(stored.size(), 7u);
    expectSameFields(stored[2], contactWith({{Field::Name, "Carl Dahl"}, {Field::Email, "c@x"}}), "Carl");
    expectSameFields(stored[3], contactWith({{Field::Name, "carl DAHL"}}), "carl");
    expectSameFields(stored[4], contactWith({{Field::Name, "Dora"}, {Field::Remark, "Organization: Acme, Sales"}}),
                     "Dora");
    expectSameFields(stored[5], contactWith({{Field::Name, "Fritz Eck"}, {Field::Mobile1, "2"}}), "Fritz");
}

// A file that repeats one name says it once; a card embedded in another is no photo.
TEST(VCardImport, TheSummaryNamesEachSkippedNameOnceAndAnEmbeddedCardAsWhatItIs)
{
    DataFile data;
    data.store(contactWith({{Field::Name, QStringLiteral("same")}}));
    data.store(contactWith({{Field::Name, QStringLiteral("zed")}}));
    const QByteArray file = card("3.0", {"FN:Same", "TEL:1"}) + card("3.0", {"FN:Same", "TEL:2"}) +
                            card("3.0", {"FN:Same", "TEL:3"}) + card("3.0", {"FN:Zed"}) +
                            card("2.1", {"FN:Owner", "AGENT:", "BEGIN:VCARD", "FN:The Agent", "END:VCARD"});
    const VCardImportResult result = data.import(QStringLiteral("names.vcf"), file);
    EXPECT_EQ(
        summaryLine(result),
        QStringLiteral("names.vcf: 1 added, 4 skipped as already there (Same, Zed), 1 embedded agent card not kept"));
}

// Many programs end stored text at its first NUL, the stock sqlite3 tool among them.
TEST(VCardImport, NulCharactersAreTakenOutOfTheTextAndCounted)
{
    DataFile data;
    const QByteArray file = card("3.0", {"FN:Nul", "NOTE:plain"}) + card("3.0", {"FN:Nul@Hidden"}).replace('@', '\0') +
                            card("2.1", {"FN:Quoted", "NOTE;ENCODING=QUOTED-PRINTABLE:a=00b"});
    const VCardImportResult result = data.import(QStringLiteral("nul.vcf"), file);
    EXPECT_EQ(summaryLine(result), QStringLiteral("nul.vcf: 3 added, 2 with NUL characters taken out"));
    QStringList stored;
    for (const Contact& c : data.contacts())
        stored << c[Field::Name] + u'|' + c[Field::Remark];
    EXPECT_EQ(stored, QStringList({"Nul|plain", "NulHidden|", "Quoted|ab"}));
}

// Whatever a file holds, its import takes memory in proportion to its size:
// one card of millions of tiny pieces once took fifty times the file's.
TEST(VCardImport, MemoryStaysInProportionToTheFile)
{
#ifndef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the heap is counted through the AddressSanitizer's allocator";
#else
    const int pieces = 3 << 19;
    const auto repeated = [](const char* piece, int times) {
        QByteArray bytes;
        for (int i = 0; i < times; ++i)
            bytes += piece;
        return bytes;
    };
    const struct {
        const char* label;
        QByteArray lines;
    } cases[] = {
        {"parameters", "TEL;TYPE=" + repeated("a,", pieces) + "b:1"},
        {"properties", repeated("X-A:b\r\n", pieces / 3) + "FN:X"},
        {"components", "ADR:" + repeated(";", 2 * pieces)},
        {"list values", "CATEGORIES:" + repeated("a,", pieces)},
        {"line breaks", "X-A:" + repeated("\\n", pieces)},
        {"name pieces", "FN:" + repeated("ab ", pieces / 2) + "\r\nN:" + repeated("a,", pieces / 4)},
    };
    for (const auto& row : cases) {
        DataFile data;
        const QByteArray file = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:X\r\n" + row.lines + "\r\nEND:VCARD\r\n";
        const QString path = data.write(QStringLiteral("large.vcf"), file);
        VCardImportResult result;
        const long long peak = peakHeapOf([&] { result = importVCardFile(data.connection, path); });
        EXPECT_TRUE(result.imported || !result.error.isEmpty()) << row.label;
        EXPECT_LT(peak, 16 * file.size() + (8 << 20)) << row.label << ": " << summaryLine(result).toStdString();
    }
#endif
}

// A pipe would keep the window waiting for a writer for ever, a device such
// as /dev/zero would be read until memory runs out.
TEST(VCardImport, RefusesWhatIsNoFileWithoutWaitingForIt)
{
    DataFile data;
    const QString pipe = data.env.root() + QStringLiteral("/pipe.vcf");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const struct {
        QString path;
        QString summary;
    } cases[] = {
        {pipe, QStringLiteral("pipe.vcf: nothing imported: a pipe, not a file")},
        {QStringLiteral("/dev/zero"), QStringLiteral("zero: nothing imported: a device, not a file")},
        {data.env.root(),
         data.env.root().section(u'/', -1) + QStringLiteral(": nothing imported: a folder, not a file")},
    };
    for (const auto& row : cases) {
        auto pending = std::async(std::launch::async, [&] { return importVCardFile(data.connection, row.path); });
        if (pending.wait_for(std::chrono::seconds(20)) == std::future_status::timeout) {
            ADD_FAILURE() << "still waiting on " << row.path.toStdString();
            // A writer that comes and goes lets the waiting open return.
            ::close(::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK));
        }
        EXPECT_EQ(summaryLine(pending.get()), row.summary);
    }
}

// Another program cuts the file short while its cards are imported: the
// import goes on with what it read, and the program stays up.
TEST(VCardImport, AFileCutShortWhileItIsImportedDoesNotBringTheProgramDown)
{
    DataFile data;
    QByteArray bytes;
    const int cards = 20000;
    for (int i = 0; i < cards; ++i)
        bytes += card("4.0", {QByteArray("FN:Person ").append(QByteArray::number(i)).constData()});
    const QString path = data.write(QStringLiteral("shrinking.vcf"), bytes);
    const VCardImportResult result = importVCardFile(data.connection, path, [&](int done, int) {
        if (done > 0)
            QFile::resize(path, 0);
        return true;
    });
    EXPECT_EQ(result.added, cards) << summaryLine(result).toStdString();
}

} // namespace
