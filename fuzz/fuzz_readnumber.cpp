// Reading numbers out of reply and settings text, whatever the text and the
// user's locale, and the way back through the rendering.
#include "FuzzCheck.h"
#include "platform/FormatPattern.h"

#include <QLocale>

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

using qle::FormatPattern;
using qle::ReadNumber;

bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void checkText(const QString &text)
{
    bool ok = true;
    const double value = ReadNumber(text, &ok);
    if (!ok) {
        FUZZ_CHECK(sameBits(value, 0.0), value, text);
        return;
    }
    FUZZ_CHECK(std::isfinite(value), value, text);
    FUZZ_CHECK(sameBits(ReadNumber(text), value), value, text);
    // Blanks around the number do not matter.
    bool padded = false;
    FUZZ_CHECK(sameBits(ReadNumber(QStringLiteral(" \t") + text + QStringLiteral(" \r\n"), &padded), value) && padded,
               value, text);
    // The shortest exact text of the value reads back as the same value.
    bool again = false;
    FUZZ_CHECK(ReadNumber(QString::number(value, 'g', 17), &again) == value && again, value, text);
}

void checkValue(double value)
{
    const QString exact = QString::number(value, 'g', 17);
    bool ok = false;
    const double back = ReadNumber(exact, &ok);
    if (!std::isfinite(value)) {
        FUZZ_CHECK(!ok && sameBits(back, 0.0), value, exact);
        return;
    }
    FUZZ_CHECK(ok && back == value, value, back, exact);
    // A rendered value reads back within half a unit of its last digit.
    if (std::fabs(value) < 1e15) {
        const QString shown = FormatPattern(value, QStringLiteral("0.000"));
        bool shownOk = false;
        const double read = ReadNumber(shown, &shownOk);
        FUZZ_CHECK(shownOk, value, shown);
        FUZZ_CHECK(std::fabs(read - value) <= 0.0005 * (1 + 1e-9) + std::fabs(value) * 1e-14, value, read, shown);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // A user whose locale writes the decimal point as a comma.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const auto *bytes = reinterpret_cast<const char *>(data);
    checkText(QString::fromLatin1(bytes, static_cast<qsizetype>(size)));
    checkText(QString::fromUtf8(bytes, static_cast<qsizetype>(size)));
    if (size >= sizeof(double)) {
        double value = 0;
        std::memcpy(&value, data, sizeof value);
        checkValue(value);
    }
    return 0;
}
