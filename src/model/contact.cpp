#include "model/contact.h"

#include <algorithm>

namespace contact {

namespace {

// clang-format off
constexpr std::array<FieldInfo, kFieldCount> kFields = {{
    {Field::Name,        "ContactName", "Name",          "contactname", false, "FN",    nullptr,  nullptr,      nullptr},
    {Field::DateOfBirth, "DateOfBirth", "Date Of Birth", "DateOfBirth", true, "BDAY",  nullptr,  nullptr,      nullptr},
    {Field::Mobile1,     "Mobile1",     "Mobile No. 1",  "Mobile1", false, "TEL",   "mobile", "cell",       "mobile1"},
    {Field::Mobile2,     "Mobile2",     "Mobile No. 2",  "Mobile2", false, "TEL",   "mobile", "cell",       "mobile2"},
    {Field::Work1,       "Work1",       "Office No. 1",  "Work1", false, "TEL",   "work",   "work,voice", "work1"},
    {Field::Work2,       "Work2",       "Office No. 2",  "Work2", false, "TEL",   "work",   "work,voice", "work2"},
    {Field::Fax1,        "Fax1",        "Fax No. 1",     "Fax1", false, "TEL",   "fax",    "work,fax",   "fax1"},
    {Field::Fax2,        "Fax2",        "Fax No. 2",     "Fax2", false, "TEL",   "fax",    "work,fax",   "fax2"},
    {Field::Home1,       "Home1",       "Home No. 1",    "Home1", false, "TEL",   "home",   "home,voice", "home1"},
    {Field::Home2,       "Home2",       "Home No. 2",    "Home2", false, "TEL",   "home",   "home,voice", "home2"},
    {Field::Email,       "Email",       "Email",         "email", false, "EMAIL", nullptr,  nullptr,      nullptr},
    {Field::Website,     "Website",     "Website",       "website", true, "URL",   nullptr,  nullptr,      nullptr},
    {Field::Remark,      "Remark",      "Remarks",       "remark", true, "NOTE",  nullptr,  nullptr,      nullptr},
}};
// clang-format on

constexpr bool inFieldOrder()
{
    for (int i = 0; i < kFieldCount; ++i) {
        if (indexOf(kFields[static_cast<size_t>(i)].field) != i)
            return false;
    }
    return true;
}
static_assert(inFieldOrder(), "the field table must list the fields in their order");

} // namespace

const std::array<FieldInfo, kFieldCount>& fields()
{
    return kFields;
}

const FieldInfo& info(Field field)
{
    return fields()[static_cast<size_t>(indexOf(field))];
}

} // namespace contact

Contact::Contact(std::initializer_list<QString> values)
{
    std::copy_n(values.begin(), std::min(values.size(), mValues.size()), mValues.begin());
}
