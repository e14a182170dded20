#pragma once

#include <array>
#include <initializer_list>

#include <QString>

// One contact: its key and its thirteen fields, and the one table that says
// what every part of the program calls each field. Every layer loops over
// that table; nobody counts fields by position.
namespace contact {

enum class Field {
    Name,
    DateOfBirth,
    Mobile1,
    Mobile2,
    Work1,
    Work2,
    Fax1,
    Fax2,
    Home1,
    Home2,
    Email,
    Website,
    Remark
};

inline constexpr int kFieldCount = static_cast<int>(Field::Remark) + 1;

struct FieldInfo {
    Field field;
    // The column of tblContact that holds it.
    const char* column;
    // The main list's heading over it, which an exported workbook takes too.
    const char* listHeading;
    // How the search statement spells the column, and whether the search
    // text may stand anywhere in it (else only at its start).
    const char* searchColumn;
    bool searchAnywhere;
    // The vCard property that carries it ("FN", "TEL", ...). A phone also
    // has its kind as the remarks name it ("mobile"), the TYPE it is written
    // with, and the hint that brings a number back to this very slot
    // ("mobile2"); all three are null for the other fields.
    const char* vcardProperty;
    const char* phoneKind;
    const char* vcardPhoneType;
    const char* vcardSlot;
};

// One flag for every field, in field order: which ones a save writes.
using FieldFlags = std::array<bool, kFieldCount>;

// Every field in the table's column order.
const std::array<FieldInfo, kFieldCount>& fields();
const FieldInfo& info(Field field);

// Where a field stands in the table's order, from 0.
constexpr int indexOf(Field field)
{
    return static_cast<int>(field);
}

// The key column, never written by the program, and its list heading.
inline constexpr char kIdColumn[] = "ContactID";
inline constexpr char kIdHeading[] = "ID";

} // namespace contact

class Contact {
public:
    Contact() = default;
    // The values in field order; missing ones are empty.
    Contact(std::initializer_list<QString> values);

    // The key as text; empty for a contact not stored yet.
    QString id;

    QString& operator[](contact::Field field) { return mValues[static_cast<size_t>(contact::indexOf(field))]; }
    const QString& operator[](contact::Field field) const
    {
        return mValues[static_cast<size_t>(contact::indexOf(field))];
    }
    // The values in field order.
    auto begin() const { return mValues.begin(); }
    auto end() const { return mValues.end(); }

    bool operator==(const Contact& other) const = default;

private:
    std::array<QString, contact::kFieldCount> mValues;
};
