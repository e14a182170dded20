// A full disk, simulated by capping the file at its current number of pages:
// the save that needs more room fails in one report, the editor keeps what
// was typed, and nothing saved before suffers.
#include <QLineEdit>
#include <QPlainTextEdit>

#include "editorinput.h"
#include "storeprobe.h"
#include "support/editorfixture.h"
#include "ui/commands/contactcommands.h"
#include "ui/editor/form2.h"

namespace {

Contact everyday(int i)
{
    Contact values;
    values[contact::Field::Name] = QStringLiteral("Saved Before %1").arg(i, 2, 10, QLatin1Char('0'));
    values[contact::Field::DateOfBirth] = QStringLiteral("0%1/1%1/1980").arg(1 + i % 9);
    for (const contact::FieldInfo& field : contact::fields()) {
        const int c = contact::indexOf(field.field);
        if (c >= contact::indexOf(contact::Field::Mobile1) && c <= contact::indexOf(contact::Field::Website))
            values[field.field] = QStringLiteral("0%1 55 %2").arg(c).arg(i * 7);
    }
    values[contact::Field::Remark] = QStringLiteral("line one\nline two ") + QString(i * 37, QLatin1Char('-'));
    return values;
}

// A contact that cannot fit in the free space of any page.
Contact tooBigForTheDisk(const QString& name)
{
    Contact values = everyday(99);
    values[contact::Field::Name] = name;
    values[contact::Field::Remark] = QStringLiteral("A long story.\n").repeated(1500);
    return values;
}

} // namespace

class FullDisk : public EditorFixture {
protected:
    void SetUp() override
    {
        EditorFixture::SetUp();
        for (int i = 0; i < 30; ++i)
            env->gConn()->execute(contact::insertStatement(everyday(i)));
        form->loadRondexa();
        before = rowsById(*env->gConn());
    }

    void capAtCurrentSize()
    {
        const QString pages = firstColumn(env->gConn()->handle(), "PRAGMA page_count").value(0);
        env->gConn()->execute(QStringLiteral("PRAGMA max_page_count=") + pages);
        ASSERT_EQ(firstColumn(env->gConn()->handle(), "PRAGMA max_page_count").value(0), pages);
    }
    void freeSomeSpace() { env->gConn()->execute(QStringLiteral("PRAGMA max_page_count=1000000")); }

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
        EXPECT_EQ(integrityCheck(*env->gConn()), QStringList({"ok"}));
        EXPECT_TRUE(sideFiles(env->dataFile()).isEmpty());
    }

    std::vector<StoredRow> before;
};

TEST_F(FullDisk, InsertFailsInOneReportKeepsTheEditorAndSavesOnceThereIsRoom)
{
    capAtCurrentSize();
    const Contact typed = tooBigForTheDisk(QStringLiteral("Newcomer O'Shea"));
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
        EXPECT_EQ(rowsById(*env->gConn()), before);
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

    const std::vector<StoredRow> after = rowsById(*env->gConn());
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
    const QString id = form->id(row);
    const Contact typed = tooBigForTheDisk(QStringLiteral("Saved Before 07, renamed"));
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
        EXPECT_EQ(rowsById(*env->gConn()), before);
        EXPECT_EQ(form->text(row, contact::Field::Name), "Saved Before 07");
        expectSoundFile();

        freeSomeSpace();
        messages->clear();
        editor.PushButton1_Click();
        openAfterRetry = editor.isVisible();
        EXPECT_TRUE(messages->shown().empty()) << messages->texts().join(" | ").toStdString();
    });
    EXPECT_TRUE(openAfterFailure);
    EXPECT_FALSE(openAfterRetry);

    const std::vector<StoredRow> after = rowsById(*env->gConn());
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
