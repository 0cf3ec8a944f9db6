#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>

// A failed property is a finding: say which one, with the values, and abort
// so that libFuzzer keeps the input as a crash artifact.
#define FUZZ_CHECK(condition, ...)                                                                                     \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "FUZZ_CHECK failed at %s:%d: %s\n", __FILE__, __LINE__, #condition);                  \
            std::fprintf(stderr, "  %s\n", qle::fuzz::describe(__VA_ARGS__).constData());                              \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)

namespace qle::fuzz {

// Text shown with its control characters escaped, so that a line end or a
// NUL in a reply is visible in the report.
inline QByteArray visible(const QString &text)
{
    QByteArray out;
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u >= 0x20 && u < 0x7f && u != u'\\')
            out.append(static_cast<char>(u));
        else
            out.append(QStringLiteral("\\u%1").arg(static_cast<uint>(u), 4, 16, QLatin1Char('0')).toLatin1());
    }
    return out;
}

inline QByteArray describe()
{
    return {};
}

template <typename... Rest> QByteArray describe(const QString &first, const Rest &...rest)
{
    return "'" + visible(first) + "' " + describe(rest...);
}

template <typename... Rest> QByteArray describe(double first, const Rest &...rest)
{
    return QByteArray::number(first, 'g', 17) + " " + describe(rest...);
}

template <typename... Rest> QByteArray describe(int first, const Rest &...rest)
{
    return QByteArray::number(first) + " " + describe(rest...);
}

} // namespace qle::fuzz
