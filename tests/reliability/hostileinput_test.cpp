// Text that tries to break out of its quotes, confuse patterns or encodings,
// or simply overwhelm: saved through the editor, it comes back character for
// character; typed into the search box, it never makes the query fail.
#include <optional>

#include <QLineEdit>
#include <QPlainTextEdit>

#include "editorinput.h"
#include "storeprobe.h"
#include "support/contacts.h"
#include "support/controls.h"
#include "support/editorfixture.h"
#include "ui/commands/contactcommands.h"
#include "ui/editor/form2.h"

namespace {

QStringList hostileTexts()
{
    return {
        QStringLiteral("'"),
        QStringLiteral("''"),
        QStringLiteral("'); drop table tblContact;--"),
        QStringLiteral("x' or '1'='1"),
        QStringLiteral("%' or 1=1 --"),
        QStringLiteral("\"; select 1; --"),
        QStringLiteral("*/ /* -- #"),
        QStringLiteral("%"),
        QStringLiteral("_"),
        QStringLiteral("%_%_"),
        QStringLiteral("[a-z]* ^$ (?)"),
        QStringLiteral("\\"),
        QStringLiteral("\\'"),
        QStringLiteral("C:\\Users\\O'Brien\\"),
        QStringLiteral("😀 👩‍👩‍👧‍👦 🇩🇪 🏳️‍🌈"),
        QStringLiteral("שלום עולם مرحبا بالعالم"),
        QStringLiteral("\u202Eevil\u202C.txt \u200Fmark\u200E"),
        QStringLiteral("e\u0301\u0323 A\u030A Z\u0324\u0308 \u0647\u0651\u064E"),
        QStringLiteral("ctl \x01\x02\x03\x07\x08\x0B\x0C\x0E\x1B\x1F\x7F \u0080\u009F end"),
        QStringLiteral("tab\there\tand there"),
        QStringLiteral("İstanbul ǅ ß ﬁ ς"),
        QStringLiteral("\u200B\u200D zero width \uFEFF"),
        QStringLiteral("Mr.\u2007Smith\u202F\u2060"),
        QStringLiteral("  spaces ' around  "),
    };
}

// Search texts beyond the saved ones: wildcards, quotes and brackets that a
// pattern or a statement might trip over.
QStringList moreSearchTexts()
{
    return {QStringLiteral("%%"),
            QStringLiteral("_%"),
            QStringLiteral("'''"),
            QStringLiteral("\\%"),
            QStringLiteral("\\_"),
            QStringLiteral("%'%"),
            QStringLiteral("'%"),
            QStringLiteral("["),
            QStringLiteral("]"),
            QStringLiteral(")"),
            QStringLiteral("\x01"),
            QStringLiteral("\uFFFD"),
            QString()};
}

// Every field but the date holds the text, marked by its column so that a
// value landing in the wrong column shows.
Contact everywhere(const QString& text, const QString& mark = QString())
{
    Contact values;
    for (size_t c = 0; c < kFields; ++c)
        values[fieldAt(c)] = mark.isEmpty() ? text : text + mark + QString::number(c + 1);
    values[contact::Field::DateOfBirth] = QStringLiteral("12/31/1999");
    return values;
}

QString repeatedTo(const QString& unit, qsizetype size)
{
    QString text = unit.repeated(size / unit.size() + 1);
    text.truncate(size);
    // Never end inside a surrogate pair: such a text cannot be typed.
    if (text.back().isHighSurrogate())
        text.back() = QLatin1Char('.');
    return text;
}

} // namespace

class HostileInput : public EditorFixture {
protected:
    void SetUp() override
    {
        EditorFixture::SetUp();
        schemaBefore = schemaOf(*env->gConn());
    }

    // Saves through the editor; true when it closed after saying so.
    bool addThroughTheEditor(const Contact& values)
    {
        bool closed = false;
        messages->clear();
        addContactCommand(*form, [&](Form2& editor) {
            editor.show();
            typeInto(editor, values);
            editor.PushButton1_Click();
            closed = !editor.isVisible();
        });
        return closed && messages->texts() == QStringList({"Record Successfully Saved."});
    }

    // What the list and a fresh query hold for the contact listed under the
    // name; empty when the list has no such name.
    QString mismatches(const Contact& values)
    {
        const int row = rowOf(values[contact::Field::Name]);
        if (row < 0)
            return QStringLiteral("not listed");
        QString found;
        const QString id = form->id(row);
        std::optional<StoredRow> stored;
        for (const StoredRow& candidate : rowsById(*env->gConn())) {
            if (candidate[0] == id)
                stored = candidate;
        }
        if (!stored)
            return QStringLiteral("not stored");
        for (size_t c = 0; c < kFields; ++c) {
            const int column = static_cast<int>(c) + 1;
            if (form->text(row, fieldAt(c)) != values[fieldAt(c)])
                found += QStringLiteral(" list column %1;").arg(column);
            if ((*stored)[c + 1] != values[fieldAt(c)])
                found += QStringLiteral(" stored column %1;").arg(column);
        }
        return found;
    }

    void expectSchemaUnchanged()
    {
        EXPECT_EQ(schemaOf(*env->gConn()), schemaBefore);
        EXPECT_EQ(integrityCheck(*env->gConn()), QStringList({"ok"}));
    }

    QStringList schemaBefore;
};

TEST_F(HostileInput, EveryFieldKeepsWhatWasTypedOnInsertAndUpdate)
{
    for (const QString& text : hostileTexts()) {
        SCOPED_TRACE(text.toStdString());
        const Contact typed = everywhere(text);
        ASSERT_TRUE(addThroughTheEditor(typed)) << messages->texts().join(" | ").toStdString();
        EXPECT_EQ(mismatches(typed), QString());

        // The update path: the list's values travel into the editor and back.
        const int row = rowOf(text);
        ASSERT_GE(row, 0);
        select(row);
        const Contact edited = everywhere(text, QStringLiteral(" #"));
        messages->clear();
        bool closed = false;
        updateContactCommand(*form, [&](Form2& editor) {
            editor.show();
            EXPECT_EQ(readFrom(editor), typed);
            typeInto(editor, edited);
            editor.PushButton1_Click();
            closed = !editor.isVisible();
        });
        EXPECT_TRUE(closed);
        EXPECT_TRUE(messages->shown().empty()) << messages->texts().join(" | ").toStdString();
        EXPECT_EQ(mismatches(edited), QString());
    }
    EXPECT_EQ(form->rowCount(), static_cast<int>(hostileTexts().size()));
    expectSchemaUnchanged();
}

TEST_F(HostileInput, HugeNameAndRemarkComeBackWhole)
{
    Contact typed = everywhere(QStringLiteral("O'Brien"));
    // Units that differ from their first character on, so that a search for
    // one does not scan the other at every position.
    typed[contact::Field::Name] =
        repeatedTo(QStringLiteral("O'Brien ''); drop table tblContact;-- %_\\ 😀 שלום e\u0301 "), 64 * 1024);
    typed[contact::Field::Remark] = repeatedTo(QStringLiteral("Remark line ') -- \\ 🇩🇪 مرحبا %\n"), 1024 * 1024);
    ASSERT_TRUE(addThroughTheEditor(typed)) << messages->texts().join(" | ").left(300).toStdString();
    EXPECT_EQ(mismatches(typed), QString());

    // The same name again is a duplicate, however long.
    messages->clear();
    EXPECT_FALSE(addThroughTheEditor(typed));
    EXPECT_EQ(messages->texts(), QStringList({"Contact name already exists in the database."}));

    for (const QString& search : {typed[contact::Field::Name].left(100), typed[contact::Field::Name]}) {
        messages->clear();
        control<QLineEdit>(*form, "Text1").setText(search);
        form->PushButton4_Click();
        EXPECT_TRUE(messages->shown().empty()) << messages->texts().join(" | ").left(300).toStdString();
        EXPECT_EQ(form->rowCount(), 1);
    }
    expectSchemaUnchanged();
}

TEST_F(HostileInput, NoSearchTextMakesTheQueryFail)
{
    for (const QString& text : hostileTexts())
        ASSERT_TRUE(addThroughTheEditor(everywhere(text, QStringLiteral(" #"))));
    const int all = form->rowCount();

    for (const QString& search : hostileTexts() + moreSearchTexts()) {
        SCOPED_TRACE(search.toStdString());
        messages->clear();
        control<QLineEdit>(*form, "Text1").setText(search);
        form->PushButton4_Click();
        EXPECT_TRUE(messages->shown().empty()) << messages->texts().join(" | ").toStdString();
        EXPECT_EQ(form->mousePointer(), 0);
        // A saved text always finds its own contact: the name begins with it
        // whatever wildcards it holds.
        if (hostileTexts().contains(search)) {
            EXPECT_GE(rowOf(search + QStringLiteral(" #1")), 0);
            EXPECT_LE(form->rowCount(), all);
        }
    }
    expectSchemaUnchanged();
}

// U+FEFF at the start of a text is a zero-width no-break space that comes
// along when text is copied from a file that begins with one. It is stored,
// but reading a stored value back must not take it for a byte order mark
// and drop it: the list would show another text, and an update that changes
// nothing would rewrite the contact without it.
TEST_F(HostileInput, LeadingZeroWidthNoBreakSpaceIsListedAndKeptByAnUpdate)
{
    const QString text = QStringLiteral("\uFEFFCopied From A File");
    const Contact typed = everywhere(text);
    ASSERT_TRUE(addThroughTheEditor(typed)) << messages->texts().join(" | ").toStdString();
    const std::vector<StoredRow> stored = rowsById(*env->gConn());
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0][1], text);
    EXPECT_EQ(form->text(0, contact::Field::Name), text);

    select(0);
    updateContactCommand(*form, [&](Form2& editor) {
        EXPECT_EQ(control<QLineEdit>(editor, "txtContactName").text(), text);
        editor.PushButton1_Click();
    });
    EXPECT_EQ(rowsById(*env->gConn())[0][1], text);
    EXPECT_EQ(rowsById(*env->gConn())[0][13], text);
}

// The notes box is a text document: what it hands back as plain text has
// no-break spaces turned into spaces and line separators into line feeds.
TEST_F(HostileInput, NotesKeepNoBreakSpacesAndLineSeparators)
{
    Contact typed = everywhere(QStringLiteral("Mr.\u00A0Smith"));
    typed[contact::Field::Remark] = QStringLiteral("Mr.\u00A0Smith, 10\u00A0km away\u2028second line");
    ASSERT_TRUE(addThroughTheEditor(typed)) << messages->texts().join(" | ").toStdString();
    EXPECT_EQ(mismatches(typed), QString());
}
