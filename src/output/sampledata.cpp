#include "output/sampledata.h"

const std::array<Contact, 3>& sampleContacts()
{
    static const std::array<Contact, 3> samples = {{
        {"Martin Oakes", "04/04/1978", "18011358542", "", "18015813542", "", "", "", "18015425813", "",
         "martin.oakes@example.com", "https://www.example.com/martin-oakes", "VODE Manager"},
        {"Gareth Lowe", "09/10/1987", "1112357845710", "", "", "", "", "", "", "", "gareth.lowe@example.net", "", ""},
        {"Stuart Penn", "10/11/1957", "", "", "", "", "", "", "", "", "stuart.penn@example.org", "",
         "ZadiZidu Ruda Zozo"},
    }};
    return samples;
}

QString sampleInsertStatement(int which)
{
    return contact::insertStatement(sampleContacts().at(static_cast<size_t>(which)));
}
