#pragma once

#include <QLibrary>
#include <QStringList>

namespace qle {

// Loads a vendor library at run time: the one named by the environment
// variable overrideVariable when it is set, else the first of candidates that
// the system loader finds. False, with the loader's message, when none loads.
bool loadRuntimeLibrary(QLibrary &library, const char *overrideVariable, const QStringList &candidates, QString *error);

// Resolves one entry point into a typed function pointer; false when missing.
template <typename Fn> bool resolveEntry(QLibrary &library, const char *name, Fn &entry)
{
    entry = reinterpret_cast<Fn>(library.resolve(name));
    return entry != nullptr;
}

} // namespace qle
