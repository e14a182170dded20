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
// "Search", and Enter in the search box
void searchCommand(MainList& list, const QString& text);
