#include "StepCursor.h"

#include <QStringList>

namespace qle::sequence {

StepCursor::StepCursor(const std::vector<Step> &steps)
{
    m_frames.push_back({&steps, 0, 1, 1});
}

const Step *StepCursor::next()
{
    while (!m_frames.empty()) {
        Frame &frame = m_frames.back();
        if (frame.index < frame.steps->size()) {
            const Step &step = frame.steps->at(frame.index++);
            const auto *repeat = std::get_if<RepeatStep>(&step.action);
            if (!repeat)
                return &step;
            if (repeat->count > 0 && !repeat->body.empty())
                m_frames.push_back({&repeat->body, 0, 1, repeat->count});
        } else if (frame.pass < frame.passes) {
            ++frame.pass;
            frame.index = 0;
        } else {
            m_frames.pop_back();
        }
    }
    return nullptr;
}

QString StepCursor::passes() const
{
    QStringList parts;
    for (std::size_t i = 1; i < m_frames.size(); ++i)
        parts << QStringLiteral("pass %1 of %2").arg(m_frames[i].pass).arg(m_frames[i].passes);
    return parts.join(QStringLiteral(", "));
}

DurationEstimate StepCursor::remaining() const
{
    DurationEstimate total;
    const auto add = [&total](const DurationEstimate &piece, double times) {
        total.knownSec += piece.knownSec * times;
        total.atMostSec += piece.atMostSec * times;
        total.open = total.open || piece.open;
    };
    for (const Frame &frame : m_frames) {
        for (std::size_t i = frame.index; i < frame.steps->size(); ++i)
            add(estimateDuration(frame.steps->at(i)), 1);
        if (frame.pass < frame.passes)
            add(estimateDuration(*frame.steps), static_cast<double>(frame.passes - frame.pass));
    }
    return total;
}

} // namespace qle::sequence
