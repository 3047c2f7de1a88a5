#pragma once

#include <QObject>

#include <cstdio>
#include <cstdlib>

// A window's control, found by its object name as the window tests know it. A control that is
// not there ends the run at once, naming it, instead of failing later on a null pointer.
template <class T> T* Control(const QObject* owner, const char* name)
{
    T* control = owner ? owner->findChild<T*>(QString::fromLatin1(name)) : nullptr;
    if (!control) {
        std::fprintf(stderr, "no control named %s\n", name);
        std::abort();
    }
    return control;
}
