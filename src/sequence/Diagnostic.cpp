#include "Diagnostic.h"

namespace qle::sequence {

QString Diagnostic::text() const
{
    if (at.line <= 0)
        return message;
    return QStringLiteral("%1:%2: %3").arg(at.line).arg(at.column).arg(message);
}

QString formatDiagnostics(const QList<Diagnostic> &diagnostics)
{
    QString text;
    for (const Diagnostic &diagnostic : diagnostics)
        text += diagnostic.text() + u'\n';
    return text;
}

} // namespace qle::sequence
