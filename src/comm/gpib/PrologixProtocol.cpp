#include "PrologixProtocol.h"

namespace qle::prologix {

namespace {
constexpr char Esc = '\x1b';
}

QByteArray escaped(const QByteArray &text)
{
    QByteArray out;
    out.reserve(text.size() + 8);
    for (const char c : text) {
        if (c == '\r' || c == '\n' || c == Esc || c == '+')
            out.append(Esc);
        out.append(c);
    }
    return out;
}

QByteArray dataLine(const QByteArray &text)
{
    return escaped(text) + '\n';
}

QByteArray setupCommands(int address)
{
    return "++mode 1\n++auto 0\n++eoi 1\n++eos 3\n++addr " + QByteArray::number(address) + '\n';
}

std::optional<QByteArray> takeLine(QByteArray &buffer)
{
    const qsizetype end = buffer.indexOf('\n');
    if (end < 0)
        return std::nullopt;
    QByteArray line = buffer.left(end + 1);
    buffer.remove(0, end + 1);
    return line;
}

} // namespace qle::prologix
