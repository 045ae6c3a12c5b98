#pragma once
// Widget tests reach a window's controls the way a user-level test does: by object name.
#include <gtest/gtest.h>
#include <QObject>

namespace pelmar::test {

// The one descendant of `window` of type T named `name`; a test failure and null when there is none
// or more than one (a name that does not say which control it is).
template <class T>
T* Child(const QObject& window, const char* name) {
    const QList<T*> found = window.findChildren<T*>(QString::fromLatin1(name));
    if (found.size() == 1) return found.front();
    ADD_FAILURE() << window.metaObject()->className() << " has " << found.size() << " children named \""
                  << name << "\" of the asked type";
    return found.isEmpty() ? nullptr : found.front();
}

}  // namespace pelmar::test
