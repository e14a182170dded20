#pragma once

#include <QString>

// One value of one parameter. A parameter with several values (TYPE=work,voice,
// or 2.1's bare TEL;WORK;VOICE) is several of these under the same name, so a
// property's parameters are one flat list.
struct VCardParameter {
    // Upper case.
    QString name;
    QString value;
};
