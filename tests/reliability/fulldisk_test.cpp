// A full disk, simulated by capping the file at its current number of pages:
// the save that needs more room fails in one report, the editor keeps what
// was typed, and nothing saved before suffers.
#include <QLineEdit>
#include <QPlainTextEdit>

#include "editorinput.h"
#include "storeprobe.h"
#include "ui/editor/contactcommands.h"
#include "ui/editor/form2.h"
#include "ui_editor/editorfixture.h"

namespace {

contact::Values everyday(int i)
{
    contact::Values values;
    values[0] = QStringLiteral("Saved Before %1").arg(i, 2, 10, QLatin1Char('0'));
    values[1] = QStringLiteral("0%1/1%1/1980").arg(1 + i % 9);
    for (size_t c = 2; c < 12; ++c)
        values[c] = QStringLiteral("0%1 55 %2").arg(c).arg(i * 7);
    values[12] = QStringLiteral("line one\nline two ") + QString(i * 37, QLatin1Char('-'));
    return values;
}

// A contact that cannot fit in the free space of any page.
contact::Values tooBigForTheDisk(const QString& name)
{
    contact::Values values = everyday(99);
    values[0] = name;
    values[12] = QStringLiteral("A long story.\n").repeated(1500);
    return values;
}

} // namespace

class FullDisk : public EditorFixture {
protected:
    void SetUp() override
    {
        EditorFixture::SetUp();
        for (int i = 0; i < 30; ++i)
            gConn->execute(contact::insertStatement(everyday(i)));
        form->loadRondexa();
        before = rowsById(*gConn);
    }

    void capAtCurrentSize()
    {
        const QString pages = firstColumn(gConn->handle(), "PRAGMA page_count").value(0);
        gConn->execute(QStringLiteral("PRAGMA max_page_count=") + pages);
        ASSERT_EQ(firstColumn(gConn->handle(), "PRAGMA max_page_count").value(0), pages);
    }
    void freeSomeSpace() { gConn->execute(QStringLiteral("PRAGMA max_page_count=1000000")); }

    // The one report of a save that hit the full disk.
    void expectOneFullDiskReport(int line)
    {
        ASSERT_EQ(messages->shown().size(), 1u) << messages->texts().join(" | ").toStdString();
        const MessageRequest& report = messages->shown()[0];
        EXPECT_TRUE(report.text.startsWith(
            QStringLiteral("database or disk is full\r\nin Rondexa2021/08/31.Form2.PushButton1_Click at line %1\r\r")
                .arg(line)))
            << report.text.toStdString();
        EXPECT_EQ(report.title, "Application Error");
        EXPECT_EQ(report.icon, MsgIcon::Exclamation);
    }

    void expectSoundFile()
    {
        EXPECT_EQ(integrityCheck(*gConn), QStringList({"ok"}));
        EXPECT_TRUE(sideFiles(env->dataFile()).isEmpty());
    }

    std::vector<StoredRow> before;
};

TEST_F(FullDisk, InsertFailsInOneReportKeepsTheEditorAndSavesOnceThereIsRoom)
{
    capAtCurrentSize();
    const contact::Values typed = tooBigForTheDisk(QStringLiteral("Newcomer O'Shea"));
    bool openAfterFailure = false;
    bool openAfterRetry = true;
    addContactCommand(*form, [&](Form2& editor) {
        editor.show();
        typeInto(editor, typed);
        editor.PushButton1_Click();
        openAfterFailure = editor.isVisible();
        EXPECT_EQ(readFrom(editor), typed);
        EXPECT_EQ(editor.mousePointer(), 0);
        expectOneFullDiskReport(108);
        EXPECT_EQ(rowsById(*gConn), before);
        EXPECT_EQ(form->rowCount(), 30);
        expectSoundFile();

        // The user frees space and presses Save again in the same window.
        freeSomeSpace();
        messages->clear();
        editor.PushButton1_Click();
        openAfterRetry = editor.isVisible();
        EXPECT_EQ(messages->texts(), QStringList({"Record Successfully Saved."}));
    });
    EXPECT_TRUE(openAfterFailure);
    EXPECT_FALSE(openAfterRetry);

    const std::vector<StoredRow> after = rowsById(*gConn);
    ASSERT_EQ(after.size(), before.size() + 1);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), after.begin()));
    EXPECT_TRUE(std::equal(typed.begin(), typed.end(), after.back().begin() + 1));
    expectSoundFile();
}

TEST_F(FullDisk, UpdateFailsInOneReportKeepsTheEditorAndTheOldContact)
{
    capAtCurrentSize();
    const int row = rowOf(QStringLiteral("Saved Before 07"));
    ASSERT_GE(row, 0);
    select(row);
    const QString id = form->text(row, 0);
    const contact::Values typed = tooBigForTheDisk(QStringLiteral("Saved Before 07, renamed"));
    bool openAfterFailure = false;
    bool openAfterRetry = true;
    updateContactCommand(*form, [&](Form2& editor) {
        editor.show();
        typeInto(editor, typed);
        editor.PushButton1_Click();
        openAfterFailure = editor.isVisible();
        EXPECT_EQ(readFrom(editor), typed);
        EXPECT_EQ(editor.mContactID, id);
        expectOneFullDiskReport(116);
        EXPECT_EQ(rowsById(*gConn), before);
        EXPECT_EQ(form->text(row, 1), "Saved Before 07");
        expectSoundFile();

        freeSomeSpace();
        messages->clear();
        editor.PushButton1_Click();
        openAfterRetry = editor.isVisible();
        EXPECT_TRUE(messages->shown().empty()) << messages->texts().join(" | ").toStdString();
    });
    EXPECT_TRUE(openAfterFailure);
    EXPECT_FALSE(openAfterRetry);

    const std::vector<StoredRow> after = rowsById(*gConn);
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i) {
        if (after[i][0] != id) {
            EXPECT_EQ(after[i], before[i]);
            continue;
        }
        EXPECT_TRUE(std::equal(typed.begin(), typed.end(), after[i].begin() + 1));
    }
    expectSoundFile();
}
