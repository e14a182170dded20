#pragma once

#include <array>
#include <optional>

#include <QDate>
#include <QDialog>

#include "store/contacttable.h"
#include "store/contactwrites.h"
#include "ui/editor/notesbox.h"

class ErrorTrap;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class MainList;
class PointerFeedback;

// The modal contact editor. The command that opens it sets mContactID (empty
// for a new contact), the caption and, for an update, the fields and the Save
// button's caption "Update".
class Form2 : public QDialog {
    Q_OBJECT
public:
    explicit Form2(MainList& list, QWidget* owner = nullptr);
    ~Form2() override;

    void Form_Load();
    void PushButton1_Click();
    void PushButton2_Click();

    int mousePointer() const;
    void setMousePointer(int pointer);

    // Called once an update has filled the fields: remembers what they show
    // and what is stored for the contact, so that Update writes only the
    // fields the user changed, and only over the contact as it was read.
    void rememberFilled(const StoredTexts& stored);

    QString mContactID;

    QLabel* Label1 = nullptr;
    QLineEdit* txtContactName = nullptr;
    QLabel* Label2 = nullptr;
    QDateEdit* dtpDOB = nullptr;
    QGroupBox* Frame1 = nullptr;
    QLineEdit* txtMobile1 = nullptr;
    QLineEdit* txtMobile2 = nullptr;
    QLineEdit* txtOffice1 = nullptr;
    QLineEdit* txtOffice2 = nullptr;
    QLineEdit* txtFax1 = nullptr;
    QLineEdit* txtFax2 = nullptr;
    QLineEdit* txtHome1 = nullptr;
    QLineEdit* txtHome2 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QLineEdit* txtEmailAdd = nullptr;
    QLineEdit* txtWebsite = nullptr;
    NotesBox* txtRemarks = nullptr;
    QPushButton* PushButton1 = nullptr;
    QPushButton* PushButton2 = nullptr;

private:
    void buildControls();
    // The thirteen values as a save writes them, in table order.
    contact::Values fieldValues() const;
    std::array<bool, contact::kDataColumns> changedFields() const;
    // Lines 116 and 118: the update and the reload after it; false when the
    // editor has to stay open.
    bool saveUpdate(ErrorTrap& trap, const contact::Values& values);
    // The fields the user left alone take the contact as it is stored now.
    void takeStoredValues(const StoredTexts& stored);
    QLineEdit* addField(QWidget* parent, const char* labelName, const QString& caption, double labelLeft,
                        double labelTop, double labelWidth, const char* fieldName, double left, double top,
                        double width);
    QLabel* addLabel(QWidget* parent, const char* name, const QString& caption, double left, double top, double width);

    MainList& mList;
    PointerFeedback* mPointer = nullptr;
    std::optional<StoredTexts> mStored;
    contact::Values mFilled;
    QDate mFilledDate;
    // Fields changed before the baseline moved on to a newer stored contact.
    std::array<bool, contact::kDataColumns> mForced{};
};

// True when a row of the list shows the name, both upper-cased; every row is
// looked at, the rows a search hides are not.
bool DoesNameExist(const MainList& list, const QString& name);
