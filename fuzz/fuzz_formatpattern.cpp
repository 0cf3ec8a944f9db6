// Rendering any value with any display pattern: the text holds only digits,
// one leading minus and the point, follows the pattern's digit counts and
// reads back as the value rounded at the pattern's last fraction digit.
#include "FuzzCheck.h"
#include "platform/FormatPattern.h"

#include <QRegularExpression>

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using qle::FormatPattern;

// The digit counts a pattern asks for, read straight from its text.
struct Counts {
    bool point = false;
    int minInteger = 0;
    int minFraction = 0;
    int maxFraction = 0;
};

Counts countsOf(const QString &pattern)
{
    Counts c;
    const qsizetype point = pattern.indexOf(u'.');
    c.point = point >= 0;
    c.minInteger = static_cast<int>((c.point ? pattern.left(point) : pattern).count(u'0'));
    if (c.point) {
        const QString fraction = pattern.mid(point + 1);
        qsizetype run = 0;
        while (run < fraction.size() && (fraction.at(run) == u'0' || fraction.at(run) == u'#'))
            ++run;
        c.maxFraction = static_cast<int>(run);
        c.minFraction = static_cast<int>(fraction.left(run).lastIndexOf(u'0') + 1);
    }
    return c;
}

void check(double value, const QString &pattern)
{
    const QString text = FormatPattern(value, pattern);
    if (!std::isfinite(value)) {
        // Not a number or infinite: no digits exist to show. The rendering
        // currently falls back to Qt's text of the value; see the report.
        FUZZ_CHECK(text == QString::number(value), value, text, pattern);
        return;
    }
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        const bool digit = ch >= u'0' && ch <= u'9';
        FUZZ_CHECK(digit || (ch == u'-' && i == 0) || ch == u'.', value, text, pattern);
    }
    const Counts counts = countsOf(pattern);
    const qsizetype point = text.indexOf(u'.');
    FUZZ_CHECK((point >= 0) == counts.point && text.count(u'.') <= 1, value, text, pattern);
    const qsizetype signLength = text.startsWith(u'-') ? 1 : 0;
    const qsizetype integerDigits = (point >= 0 ? point : text.size()) - signLength;
    const qsizetype fractionDigits = point >= 0 ? text.size() - point - 1 : 0;
    FUZZ_CHECK(integerDigits >= counts.minInteger, value, text, pattern);
    FUZZ_CHECK(fractionDigits >= counts.minFraction && fractionDigits <= counts.maxFraction, value, text, pattern);
    // No zero shown with a sign, no sign on a positive value.
    if (signLength == 1) {
        FUZZ_CHECK(value < 0, value, text, pattern);
        FUZZ_CHECK(text.contains(QRegularExpression(QStringLiteral("[1-9]"))), value, text, pattern);
    }

    // The value it reads back as: within half a unit of the last digit.
    const QString digits = QString(text).remove(u'-').remove(u'.');
    if (digits.isEmpty()) {
        // "#" patterns show nothing at all for a value that rounds to zero.
        FUZZ_CHECK(std::fabs(value) <= 0.5 * std::pow(10.0, -counts.maxFraction) * (1 + 1e-9) + 1e-300, value, text,
                   pattern);
        return;
    }
    bool ok = false;
    const double back = text.toDouble(&ok);
    FUZZ_CHECK(ok || std::isinf(back), value, text, pattern);
    if (ok) {
        const double unit = std::pow(10.0, -counts.maxFraction);
        const double allowed = 0.5 * unit * (1 + 1e-9) + std::fabs(value) * 1e-14 + 1e-300;
        FUZZ_CHECK(std::fabs(back - value) <= allowed, value, back, text, pattern);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    double value = 0;
    if (input.remaining_bytes() >= sizeof value) {
        const std::vector<std::uint8_t> raw = input.ConsumeBytes<std::uint8_t>(sizeof value);
        std::memcpy(&value, raw.data(), sizeof value);
    }
    // Patterns are short in practice (catalogue columns); keep the output small
    // enough that a run covers many of them.
    const std::string bytes = input.ConsumeRandomLengthString(48);
    const QString latin = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    check(value, latin);
    check(value, QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())));
    // The same value with the patterns the catalogue and the program use.
    for (const char *pattern : {"0.00", "0.000", "###0.###", "###0.00#", "0", "#", "0.", "#.##"})
        check(value, QString::fromLatin1(pattern));
    return 0;
}
