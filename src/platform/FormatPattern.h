#pragma once

#include <QString>

namespace qle {

// Renders a number with a display pattern such as "0.00", "###0.###" or
// "###0.00#": "0" is a digit always shown, "#" a digit shown only when
// needed, "." the decimal point (always a point here). Rounds half away from
// zero at the pattern's last fraction digit; the point stays when no fraction
// digit remains ("###0.###" renders 5 as "5.").
QString FormatPattern(double value, const QString &pattern);

// Reads a number written with a point as decimal separator, whatever the
// user's locale. Text that is not a number gives 0 and ok false.
double ReadNumber(const QString &text, bool *ok = nullptr);

} // namespace qle
