#pragma once

#include <array>
#include <optional>

#include <QDate>
#include <QDialog>

#include "model/contact.h"
#include "store/contactwrites.h"
#include "ui/commands/contacteditor.h"

class BirthDateEdit;
class ErrorTrap;
class MainList;
class NotesBox;
class PointerFeedback;
class QLabel;
class QLineEdit;
class QPushButton;
struct Session;

// The modal contact editor. The command that opens it gives it its ID
// (mContactID, empty for a new contact), its caption, its mode and, for an
// update, the fields.
class Form2 : public QDialog, public ContactEditor {
    Q_OBJECT
public:
    explicit Form2(MainList& list, QWidget* owner = nullptr);
    ~Form2() override;

    void Form_Load();
    // "Save Contact" (or "Update"), and "Cancel".
    void PushButton1_Click();
    void PushButton2_Click();

    // The fields as a save writes them, with mContactID as the ID.
    Contact contact() const;
    // Fills every field and the ID as a user would see them; throws when the
    // date of birth cannot be shown (the other fields are filled all the same).
    void setContact(const Contact& contact);
    Mode mode() const { return mMode; }

    void setContactId(const QString& id) override { mContactID = id; }
    void setCaption(const QString& caption) override { setWindowTitle(caption); }
    void setField(contact::Field field, const QString& text) override;
    void setMode(Mode mode) override;
    void rememberFilled(const StoredTexts& stored) override;

    int mousePointer() const;
    void setMousePointer(int pointer);
    // A field differs from what the window showed when it opened.
    bool isChanged() const;
    // The ID of the contact a save wrote; empty until one did.
    const QString& savedId() const { return mSavedId; }

    QString mContactID;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Runs a command once the key that asked for it has been handled.
    void afterKey(void (Form2::*command)());
    // Escape: closes, after asking when the user typed something.
    void escapePressed();
    void buildControls();
    QLabel* addLabel(QWidget* parent, const char* caption, const char* name, double left, double top, double width);
    QString fieldText(contact::Field field) const;
    contact::FieldFlags changedFields() const;
    // Lines 116 and 118: the update and the reload after it; false when the
    // editor has to stay open.
    bool saveUpdate(ErrorTrap& trap, const Contact& values);
    // The fields the user left alone take the contact as it is stored now.
    void takeStoredValues(const StoredTexts& stored);

    MainList& mList;
    Session& mSession;
    Mode mMode = Mode::Add;
    // One control per field; the line edits are null for the date and notes.
    std::array<QLineEdit*, contact::kFieldCount> mLines{};
    BirthDateEdit* dtpDOB = nullptr;
    NotesBox* txtRemarks = nullptr;
    QPushButton* PushButton1 = nullptr;
    QPushButton* PushButton2 = nullptr;
    PointerFeedback* mPointer = nullptr;

    // Fields too long to edit, whole; their boxes show only the start.
    std::array<std::optional<QString>, contact::kFieldCount> mTooLong;
    std::optional<StoredTexts> mStored;
    Contact mFilled;
    QDate mFilledDate;
    // Fields changed before the baseline moved on to a newer stored contact.
    contact::FieldFlags mForced{};
    // The fields as the window first showed them.
    std::optional<Contact> mOpenedWith;
    QString mSavedId;
};

// True when a row of the list shows the name, letter case folded; every row
// is looked at, the rows a search hides are not.
bool DoesNameExist(MainList& list, const QString& name);
