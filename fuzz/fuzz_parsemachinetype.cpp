// The model name cut out of an identification reply, for any reply text.
#include "FuzzCheck.h"
#include "protocol/ParseMachineType.h"

#include <QStringList>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>

namespace {

using qle::ParseMachineType;

// Whether every character of part occurs in whole, in the same order.
bool isSubsequence(const QString &part, const QString &whole)
{
    qsizetype at = 0;
    for (const QChar ch : part) {
        at = whole.indexOf(ch, at);
        if (at < 0)
            return false;
        ++at;
    }
    return true;
}

void checkReply(const QString &reply)
{
    const QString model = ParseMachineType(reply);
    FUZZ_CHECK(!model.contains(u',') && !model.contains(u' '), model, reply);
    FUZZ_CHECK(isSubsequence(model, reply), model, reply);

    // Without spaces: the second comma-separated field, when a third begins.
    if (!reply.contains(u' ')) {
        const QStringList fields = reply.split(u',');
        const QString want = fields.size() >= 3 ? fields.at(1) : QString();
        FUZZ_CHECK(model == want, model, want, reply);
    }
    // Without commas: the third space-separated word, when a fourth begins.
    if (!reply.contains(u',')) {
        const QStringList words = reply.split(u' ');
        const QString want = words.size() >= 4 ? words.at(2) : QString();
        FUZZ_CHECK(model == want, model, want, reply);
    }
    // A name is decided before the reply ends: what follows cannot change it.
    if (!model.isEmpty()) {
        FUZZ_CHECK(ParseMachineType(reply + QStringLiteral(",x y,z")) == model, model, reply);
        FUZZ_CHECK(ParseMachineType(reply + QStringLiteral("\r\n")) == model, model, reply);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const auto *bytes = reinterpret_cast<const char *>(data);
    const auto length = static_cast<qsizetype>(size);
    checkReply(QString::fromLatin1(bytes, length));
    checkReply(QString::fromUtf8(bytes, length));

    // A reply in the usual shape: maker (at most one space), model (no space,
    // no comma), serial number and version. The model comes out whatever the
    // other fields hold.
    FuzzedDataProvider input(data, size);
    auto field = [&input](bool spaceAllowed) {
        QString text = QString::fromLatin1(input.ConsumeRandomLengthString(40).c_str());
        text.remove(u',');
        if (!spaceAllowed)
            text.remove(u' ');
        return text;
    };
    QString maker = field(true);
    const qsizetype space = maker.indexOf(u' ');
    if (space >= 0)
        maker = maker.left(space + 1) + maker.mid(space + 1).remove(u' ');
    const QString model = field(false);
    const QString serial = field(true);
    const QString version = field(true);
    const QString reply = maker + u',' + model + u',' + serial + u',' + version;
    FUZZ_CHECK(ParseMachineType(reply) == model, ParseMachineType(reply), model, reply);
    return 0;
}
