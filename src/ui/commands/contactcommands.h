#pragma once

#include <functional>

#include <QString>

class Form2;
class MainList;

// Shows the prepared editor; the real one runs its modal loop, tests act on
// the editor as a user would and return.
using EditorPresenter = std::function<void(Form2&)>;
void showEditorModally(Form2& editor);

// "Add New Contact"
void addContactCommand(MainList& list, const EditorPresenter& present = showEditorModally);
// "Update Contact" and a double-click on the list
void updateContactCommand(MainList& list, const EditorPresenter& present = showEditorModally);
// "Delete Contact"
void deleteContactCommand(MainList& list);
// Ctrl+Z and Ctrl+Shift+Z: takes back the last change made through the list
// (an add, update, delete or import), or makes again the last one taken
// back; refuses, saying why, when a contact it would put back was changed
// since.
enum class UndoDirection { Undo, Redo };
void undoCommand(MainList& list, UndoDirection direction);
// What an undo entry names: "Delete of Anna", "Delete of 3 contacts".
QString changeLabel(const QString& change, const QStringList& names);
// "Search", and Enter in the search box
void searchCommand(MainList& list, const QString& text);
