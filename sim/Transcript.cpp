#include "Transcript.h"

#include "MonotonicClock.h"

namespace psusim {

Transcript::Transcript(const MonotonicClock &clock) : m_clock(clock)
{
}

bool Transcript::open(const QString &path, QString *error)
{
    m_file.setFileName(path);
    if (m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return true;
    if (error)
        *error = QStringLiteral("cannot write transcript %1: %2").arg(path, m_file.errorString());
    return false;
}

QByteArray Transcript::escaped(const QByteArray &bytes)
{
    QByteArray out;
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\')
            out += "\\\\";
        else if (u >= 0x20 && u < 0x7f)
            out += c;
        else
            out += "\\x" + QByteArray::number(u, 16).rightJustified(2, '0');
    }
    return out;
}

void Transcript::write(char direction, const QByteArray &text)
{
    if (!m_file.isOpen())
        return;
    const QByteArray line = QByteArray::number(qint64(m_clock.nowMs())) + ' ' + direction + ' ' + text + '\n';
    m_file.write(line);
}

void Transcript::received(const QByteArray &line)
{
    write('<', escaped(line));
}

void Transcript::sent(const QByteArray &line)
{
    write('>', escaped(line));
}

void Transcript::note(const QString &text)
{
    write('#', escaped(text.toUtf8()));
}

} // namespace psusim
