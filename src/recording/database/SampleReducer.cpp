#include "SampleReducer.h"

#include "platform/FormatPattern.h"

#include <array>

namespace qle {

bool SampleReducer::fold(int channel, int tick, const QString &voltage, const QString &current, QString *bad)
{
    if (channel < 0 || channel >= Channels)
        return true;
    bool allRead = true;
    const std::array<const QString *, 2> texts{&voltage, &current};
    for (int which = 0; which < 2; ++which) {
        Box &box = m_boxes[index(channel, which)];
        if (tick == 0)
            startRow(box);
        const QString &text = *texts[static_cast<std::size_t>(which)];
        bool ok = false;
        const double reading = ReadNumber(text.trimmed(), &ok);
        if (!ok) {
            // A text beats a blank: it is the one worth reporting.
            if (allRead || bad->isEmpty())
                *bad = text;
            allRead = false;
            continue;
        }
        foldBox(box, text, reading);
    }
    return allRead;
}

void SampleReducer::startRow(Box &box) const
{
    box.value = m_mode == 1 ? 99999 : 0;
    box.text.clear();
    box.sum = 0;
    box.taken = 0;
}

void SampleReducer::foldBox(Box &box, const QString &text, double reading) const
{
    const bool first = box.taken == 0;
    ++box.taken;
    if (first)
        box.text = QString::number(box.value);
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
        if (first) {
            box.sum = reading;
            box.value = reading;
            box.text = text;
        } else {
            box.sum += reading;
            box.value = box.sum / box.taken;
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
