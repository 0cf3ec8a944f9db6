#include "LegacyInterpreter.h"

#include "InstrumentCore.h"
#include "NumberText.h"

#include <QRegularExpression>

namespace psusim {

LegacyInterpreter::LegacyInterpreter(InstrumentCore &core)
    : m_core(core), m_shared(core, ColonInterpreter::Scope::SharedWithLegacy)
{
}

std::optional<QByteArray> LegacyInterpreter::execute(const QByteArray &line)
{
    const QByteArray text = line.trimmed();
    if (text.startsWith(':'))
        return m_shared.execute(text);
    const QString upper = QString::fromLatin1(text).toUpper();
    if (upper == QLatin1String("*IDN?"))
        return m_core.identification();
    if (upper == QLatin1String("STATUS?"))
        return statusWord();

    static const QRegularExpression setPattern(QStringLiteral("^(VSET|ISET)([0-9]):(.*)$"));
    static const QRegularExpression queryPattern(QStringLiteral("^(VSET|ISET|VOUT|IOUT)([0-9])\\?$"));
    static const QRegularExpression switchPattern(QStringLiteral("^(OUT|TRACK|SAV|RCL)([0-9])$"));

    if (const auto m = setPattern.match(upper); m.hasMatch())
        return setValue(m.captured(1).toLatin1(), m.captured(2).toInt(), text.mid(m.capturedStart(3)));
    if (const auto m = queryPattern.match(upper); m.hasMatch())
        return queryValue(m.captured(1).toLatin1(), m.captured(2).toInt());
    if (const auto m = switchPattern.match(upper); m.hasMatch()) {
        const QString op = m.captured(1);
        const int n = m.captured(2).toInt();
        PowerSupply &supply = m_core.supply;
        if (op == QLatin1String("OUT") && n <= 1)
            supply.setOutput(n == 1);
        else if (op == QLatin1String("TRACK") && n <= 2)
            supply.setCoupling(Coupling(n));
        else if (op == QLatin1String("SAV"))
            supply.saveMemory(n);
        else if (op == QLatin1String("RCL"))
            supply.recallMemory(n);
    }
    return std::nullopt;
}

std::optional<QByteArray> LegacyInterpreter::setValue(const QByteArray &what, int ch, const QByteArray &value)
{
    const std::optional<double> v = parseDecimal(value);
    if (!v)
        return std::nullopt;
    if (what == "VSET")
        m_core.supply.setVoltage(ch, *v);
    else
        m_core.supply.setCurrent(ch, *v);
    return std::nullopt;
}

std::optional<QByteArray> LegacyInterpreter::queryValue(const QByteArray &what, int ch)
{
    if (!m_core.supply.hasChannel(ch))
        return std::nullopt;
    if (what == "VSET")
        return formatFixed3(m_core.supply.settings(ch).volt) + 'V';
    if (what == "ISET")
        return formatFixed3(m_core.supply.settings(ch).curr) + 'A';
    if (what == "VOUT")
        return formatFixed3(m_core.measuredVolt(ch)) + 'V';
    return formatFixed3(m_core.measuredCurr(ch)) + 'A';
}

QByteArray LegacyInterpreter::statusWord() const
{
    const PowerSupply &supply = m_core.supply;
    QByteArray word(8, '0');
    word[0] = supply.reading(1).constantCurrent ? '1' : '0';
    word[1] = supply.hasChannel(2) && supply.reading(2).constantCurrent ? '1' : '0';
    switch (supply.coupling()) {
    case Coupling::Independent:
        word[2] = '0';
        word[3] = '1';
        break;
    case Coupling::Track:
        word[2] = '1';
        word[3] = '1';
        break;
    case Coupling::Parallel:
        word[2] = '1';
        word[3] = '0';
        break;
    }
    word[6] = supply.outputOn() ? '1' : '0';
    return word;
}

} // namespace psusim
