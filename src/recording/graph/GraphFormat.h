#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>

// Texts of the graph recorder: durations, elapsed-time axis labels and the
// numbers read from displayed values.
namespace qle::graph {

// Whole seconds as "h:m:s", or "dD h:m:s" from one day on, without leading
// zeros: 3725 gives "1:2:5", 90061 gives "1D 1:1:1".
QString FormatTotalTime(qint64 seconds);

// An elapsed time in days (1.0 = 24 hours) written with a label pattern of
// the time axis: "h" / "hh" elapsed hours (not wrapped at 24), "n" / "nn"
// minutes, "s" / "ss" seconds, the doubled letter with two digits; any other
// character is copied. Rounded to the second; negative times get a "-".
QString formatElapsed(double days, const QString &pattern);

// The leading number of a text, as a reading shows it ("5.012", " 12V",
// "-1e-3"); 0 when the text does not start with a number.
double leadingNumber(const QString &text);
// The same number, or nothing when the text does not start with one: a
// blank or unreadable reading, drawn as a gap.
std::optional<double> readingValue(QStringView text);
// The same for a text in UTF-8, read where it lies.
std::optional<double> readingValue(QByteArrayView utf8);
// The value a trace plots for a stored reading: its number, or NaN (a gap).
double plotValue(QStringView text);

// A number in its shortest decimal form: 10.2, 0.5, 105.
QString numberText(double value);

// A time in days as a clock shows it, "HH:MM:SS": rounded to the second,
// the whole days dropped (26 hours gives "02:00:00"); negative times count
// as their size.
QString clockText(double days);

// A number as the cursor read-outs write it: up to 12 significant digits,
// which hides the binary rest of a difference (5.1 - 5.0 gives 0.1), no
// trailing zeros (2.5, 1E-05).
QString readoutText(double value);
// A reading as the cursor read-outs show it: at most `decimals` places (the
// channel's display pattern and one more), no trailing zeros, then the unit.
QString readoutText(double value, int decimals, const QString &unit);
// Decimal places of a display pattern such as "##0.000" (3).
int patternDecimals(const QString &pattern);
// Decimal places of axis labels `step` apart: those the step itself needs,
// but no more than its first two significant digits ask for.
int tickDecimals(double step);

// A time text "h:m:s" or "h:m" (the range ends of the time-length list) as a
// fraction of a day; 0 for text that is not such a time.
double timeTextToDays(const QString &text);

} // namespace qle::graph
