// The legacy family's status word, for any reply text.
#include "FuzzCheck.h"
#include "protocol/LegacyStatusWord.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>

namespace {

using qle::Coupling;
using qle::LegacyStatusWord;

QString describeWord(const LegacyStatusWord &w)
{
    const QString coupling = !w.coupling                            ? QStringLiteral("-")
                             : *w.coupling == Coupling::Independent ? QStringLiteral("indep")
                             : *w.coupling == Coupling::Track       ? QStringLiteral("track")
                                                                    : QStringLiteral("parallel");
    const QString output = !w.output ? QStringLiteral("-") : *w.output ? QStringLiteral("on") : QStringLiteral("off");
    return coupling + u'/' + output;
}

void check(const QString &text, FuzzedDataProvider &input)
{
    const LegacyStatusWord word = LegacyStatusWord::parse(text);
    QString bare = text;
    bare.remove(u' ');
    // What the fields hold, character by character.
    const QChar c3 = bare.size() > 2 ? bare.at(2) : QChar();
    const QChar c4 = bare.size() > 3 ? bare.at(3) : QChar();
    const QChar c7 = bare.size() > 6 ? bare.at(6) : QChar();
    std::optional<Coupling> coupling;
    if (c3 == u'0' && c4 == u'1')
        coupling = Coupling::Independent;
    else if (c3 == u'1' && c4 == u'1')
        coupling = Coupling::Track;
    else if (c3 == u'1' && c4 == u'0')
        coupling = Coupling::Parallel;
    std::optional<bool> output;
    if (c7 == u'0' || c7 == u'1')
        output = c7 == u'1';
    FUZZ_CHECK(word.coupling == coupling && word.output == output, describeWord(word), text);
    // Shorter than seven characters without spaces: the output bit is missing.
    if (bare.size() < 7)
        FUZZ_CHECK(!word.output, describeWord(word), text);

    // Spaces anywhere, as the instrument may put them between the digits,
    // change nothing.
    QString spaced;
    for (const QChar ch : text) {
        spaced.append(QString(input.ConsumeIntegralInRange<int>(0, 2), u' '));
        spaced.append(ch);
    }
    spaced.append(QString(input.ConsumeIntegralInRange<int>(0, 2), u' '));
    FUZZ_CHECK(LegacyStatusWord::parse(spaced) == word, describeWord(LegacyStatusWord::parse(spaced)),
               describeWord(word), spaced);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const std::string bytes = input.ConsumeRandomLengthString(64);
    const QString latin = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    check(latin, input);
    check(QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())), input);
    // The same text over the status word's own alphabet.
    QString binary;
    for (const char byte : bytes)
        binary.append(QLatin1Char("01 1"[static_cast<unsigned char>(byte) % 4]));
    check(binary, input);
    return 0;
}
