#include "ui/commands/contactcommands.h"

#include <optional>

#include "base/apperror.h"
#include "base/errortrap.h"
#include "base/messages.h"
#include "base/mousepointer.h"
#include "store/casefolding.h"
#include "store/contactsearch.h"
#include "store/contacttable.h"
#include "store/contactwrites.h"
#include "store/session.h"
#include "store/snapshots.h"
#include "store/undohistory.h"
#include "ui/commands/mainlist.h"
#include "ui/editor/form2.h"

namespace {

// The line of the step that fills a field: the name at first, then every
// field in table order, two apart.
int fillLine(int firstLine, contact::Field field)
{
    return firstLine + 2 * contact::indexOf(field);
}

// Update and Delete act on the selected contacts; with none selected they
// say so rather than do nothing.
bool saySelectFirst(MainList& list)
{
    if (list.selectedRow() >= 0)
        return false;
    list.session().messages.msgBox(QStringLiteral("Select a contact first."));
    return true;
}

// After a save the saved contact is the selected one, wherever its name put it.
void selectSaved(MainList& list, const Form2& editor)
{
    if (editor.result() == QDialog::Accepted && !editor.savedId().isEmpty())
        list.selectContacts({editor.savedId()});
}

} // namespace

void showEditorModally(Form2& editor)
{
    editor.exec();
}

void addContactCommand(MainList& list, const EditorPresenter& present)
{
    ErrorTrap trap(list.session().messages, locationTag("Form1", "PushButton1_Click"));
    Form2 editor(list, list.ownerWidget());
    trap.step(100, [&] { editor.setContactId(QString()); });
    trap.step(102, [&] { editor.setCaption(QStringLiteral("Add New Contact")); });
    trap.step(104, [&] { present(editor); });
    selectSaved(list, editor);
}

void updateContactCommand(MainList& list, const EditorPresenter& present)
{
    ErrorTrap trap(list.session().messages, locationTag("Form1", "PushButton3_Click"));
    if (trap.test(100, [&] { return list.rowCount() == 0; }))
        return;
    // Rows but none selected: an editor in update mode without a chosen
    // contact could overwrite one the user never picked.
    if (saySelectFirst(list))
        return;
    const int row = list.selectedRow();
    Form2 editor(list, list.ownerWidget());
    // What the row holds byte for byte, before anything can change the list.
    StoredTexts stored;
    for (const contact::FieldInfo& field : contact::fields())
        stored[static_cast<size_t>(contact::indexOf(field.field))] = list.textUtf8(row, field.field).toByteArray();
    trap.step(102, [&] { editor.setContactId(list.id(row)); });
    for (const contact::FieldInfo& field : contact::fields())
        trap.step(fillLine(104, field.field), [&] { editor.setField(field.field, list.text(row, field.field)); });
    trap.step(130, [&] { editor.setCaption(QStringLiteral("Update Contact")); });
    trap.step(132, [&] { editor.setMode(ContactEditor::Mode::Update); });
    editor.rememberFilled(stored);
    trap.step(134, [&] { present(editor); });
    selectSaved(list, editor);
}

void deleteContactCommand(MainList& list)
{
    Session& session = list.session();
    ErrorTrap trap(session.messages, locationTag("Form1", "PushButton2_Click"));
    if (trap.test(100, [&] { return list.rowCount() == 0; }))
        return;
    if (saySelectFirst(list))
        return;
    const std::vector<int> rows = list.selectedRows();
    const QString question = rows.size() == 1 ? QStringLiteral("Are you sure you want to delete ") +
                                                    list.text(rows.front(), contact::Field::Name) + QStringLiteral("?")
                                              : QStringLiteral("Delete %L1 contacts?").arg(rows.size());
    if (trap.test(102, [&] { return session.messages.msgBox(question, MsgButtons::YesNo) != MsgAnswer::Yes; }))
        return;
    QStringList names;
    for (const int row : rows)
        names << list.text(row, contact::Field::Name);
    int gone = 0;
    ChangeCapture capture;
    // Several contacts go back to a copy of the file taken just before; no
    // such delete without one.
    if (rows.size() > 1 && !trap.attempt(104, [&] { takeSnapshot(session.connection(), SnapshotReason::Delete); }))
        return;
    trap.step(104, [&] {
        QStringList ids;
        for (const int row : rows)
            ids << list.id(row);
        list.setMousePointer(pointer::kHourglass);
        gone = deleteContacts(session.connection(), ids, &capture);
        for (const QString& id : ids)
            list.noteChanged(id);
        if (gone < ids.size())
            list.undoHistory().record({changeLabel(QStringLiteral("Delete"), names), capture.before, capture.after});
    });
    trap.step(106, [&] { list.loadRondexa(); });
    // The row after the deleted ones takes their place and the selection.
    list.selectRowAt(rows.front());
    if (gone == 1 && rows.size() == 1)
        session.messages.msgBox(
            QStringLiteral("This contact had already been deleted elsewhere (in another window or program)."));
    else if (gone > 0)
        session.messages.msgBox(
            QStringLiteral("%L1 of these contacts had already been deleted elsewhere (in another window or program).")
                .arg(gone));
}

QString changeLabel(const QString& change, const QStringList& names)
{
    return names.size() == 1 ? change + QStringLiteral(" of ") + names.front()
                             : change + QStringLiteral(" of %L1 contacts").arg(names.size());
}

void undoCommand(MainList& list, UndoDirection direction)
{
    Session& session = list.session();
    const bool back = direction == UndoDirection::Undo;
    ErrorTrap trap(session.messages, locationTag("Form1", back ? "Undo" : "Redo"));
    UndoHistory& history = list.undoHistory();
    if (!(back ? history.canUndo() : history.canRedo()))
        return;
    UndoHistory::Outcome outcome;
    list.setMousePointer(pointer::kHourglass);
    const bool ran = trap.attempt(
        100, [&] { outcome = back ? history.undo(session.connection()) : history.redo(session.connection()); });
    list.setMousePointer(pointer::kDefault);
    if (!ran)
        return;
    if (!outcome.done) {
        session.messages.msgBox(outcome.refusal, MsgButtons::Ok, MsgIcon::Exclamation);
        // The list shows the change that stood in the way.
        trap.step(102, [&] { list.loadRondexa(); });
        return;
    }
    for (const QString& id : outcome.touched)
        list.noteChanged(id);
    trap.step(102, [&] { list.loadRondexa(); });
    list.selectContacts(outcome.ids);
}

void searchCommand(MainList& list, const QString& text)
{
    Session& session = list.session();
    ErrorTrap trap(session.messages, locationTag("Form1", "PushButton4_Click"));
    // Every contact is read and matched by the search, as the search statement
    // words it (contact::searchQuery), a large table in parts at once; the
    // list then puts the found ones in name order. The found rows are taken
    // one by one, as a recordset's would be.
    std::optional<ContactSearch> search;
    trap.step(100, [&] { search.emplace(text, CaseFolding::forUserLocale()); });
    trap.step(102, [&] { list.setMousePointer(pointer::kHourglass); });
    trap.step(104, [&] { list.clearRows(); });
    std::vector<ListRow> found;
    // A reading that fails is reported once; the search then ends with an
    // empty list.
    if (!trap.attempt(106, [&] {
            if (!search)
                throw AppError::objectNotSet();
            found = search->findAll(session.connection());
        })) {
        list.setMousePointer(pointer::kDefault);
        return;
    }
    std::vector<ListRow> rows;
    rows.reserve(found.size());
    size_t at = 0;
    while (trap.test(108, [&] { return at < found.size(); }) && at < found.size()) {
        ListRow::Builder row;
        QByteArrayView id;
        trap.step(110, [&] { id = found[at].utf8(0); });
        row.add(id);
        for (const contact::FieldInfo& field : contact::fields()) {
            QByteArrayView cell;
            trap.step(fillLine(112, field.field), [&] { cell = found[at].utf8(field.field); });
            row.add(cell);
        }
        rows.push_back(row.take());
        trap.step(138, [&] { found[at] = ListRow(); });
        ++at;
    }
    trap.step(140, [&] { std::vector<ListRow>().swap(found); });
    list.showRows(std::move(rows));
    trap.step(142, [&] { list.setMousePointer(pointer::kDefault); });
}
