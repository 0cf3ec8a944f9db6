#include "RuntimeLibrary.h"

namespace qle {

bool loadRuntimeLibrary(QLibrary &library, const char *overrideVariable, const QStringList &candidates, QString *error)
{
    const QString override = qEnvironmentVariable(overrideVariable);
    const QStringList names = override.isEmpty() ? candidates : QStringList{override};
    QStringList failures;
    for (const QString &name : names) {
        library.setFileName(name);
        if (library.load())
            return true;
        failures.append(library.errorString());
    }
    if (error)
        *error = failures.join(QLatin1String("; "));
    return false;
}

} // namespace qle
