#pragma once

#include <QDialog>

class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
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
    QPlainTextEdit* txtRemarks = nullptr;
    QPushButton* PushButton1 = nullptr;
    QPushButton* PushButton2 = nullptr;

private:
    void buildControls();
    QLineEdit* addField(QWidget* parent, const char* labelName, const QString& caption, double labelLeft,
                        double labelTop, double labelWidth, const char* fieldName, double left, double top,
                        double width);
    QLabel* addLabel(QWidget* parent, const char* name, const QString& caption, double left, double top, double width);

    MainList& mList;
    PointerFeedback* mPointer = nullptr;
};

// True when a row of the list shows the name, both upper-cased; every row is
// looked at, the rows a search hides are not.
bool DoesNameExist(const MainList& list, const QString& name);
