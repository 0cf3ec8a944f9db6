#include "SampleReducer.h"

#include "platform/FormatPattern.h"

namespace qle {

bool SampleReducer::fold(int channel, int tick, const QString &voltage, const QString &current, QString *bad)
{
    if (channel < 0 || channel >= Channels)
        return true;
    bool ok = false;
    const double v = ReadNumber(voltage.trimmed(), &ok);
    if (!ok) {
        *bad = voltage;
        return false;
    }
    const double a = ReadNumber(current.trimmed(), &ok);
    if (!ok) {
        *bad = current;
        return false;
    }
    foldBox(m_boxes[index(channel, 0)], tick, voltage, v);
    foldBox(m_boxes[index(channel, 1)], tick, current, a);
    return true;
}

void SampleReducer::foldBox(Box &box, int tick, const QString &text, double reading) const
{
    if (tick == 0) {
        box.value = m_mode == 1 ? 99999 : 0;
        box.text = QString::number(box.value);
        box.sum = 0;
    }
    switch (m_mode) {
    case 0:
        if (box.value < reading) {
            box.value = reading;
            box.text = text;
        }
        break;
    case 1:
        if (box.value > reading) {
            box.value = reading;
            box.text = text;
        }
        break;
    case 2:
        if (tick == 0) {
            box.sum = reading;
            box.value = reading;
            box.text = text;
        } else {
            box.sum += reading;
            box.value = box.sum / (tick + 1);
            box.text = FormatPattern(box.value, QStringLiteral("###0.00#"));
        }
        break;
    default:
        break;
    }
}

void SampleReducer::reset()
{
    m_boxes.fill(Box{});
}

} // namespace qle
