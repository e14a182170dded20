#pragma once

#include <stdexcept>
#include <string>

#include <QObject>

// A window's control by its object name, as the accessibility layer and a
// user's scripts find it; a missing one fails the test.
template <class T> T& control(const QObject& window, const char* name)
{
    T* found = window.findChild<T*>(QLatin1String(name));
    if (!found)
        throw std::runtime_error(std::string("no control ") + name);
    return *found;
}
