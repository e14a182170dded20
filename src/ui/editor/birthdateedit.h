#pragma once

#include <QDateEdit>

// The editor's date of birth, which may also be unknown: a contact imported
// without a birthday is stored with empty text, and opening it must neither
// complain nor invent a date. Unknown is the day before the earliest date the
// picker offers, shown as blank; it stays so until the user picks a date.
class BirthDateEdit : public QDateEdit {
    Q_OBJECT
public:
    explicit BirthDateEdit(QWidget* parent = nullptr);

    bool isUnknown() const;
    void setUnknown();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
