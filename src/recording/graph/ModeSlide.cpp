#include "ModeSlide.h"

#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QSlider>

namespace qle {

ModeSlide::ModeSlide(const QStringList &positions, QWidget *parent)
    : QWidget(parent), m_positions(positions), m_slider(new QSlider(Qt::Vertical, this))
{
    m_slider->setObjectName("pointer");
    m_slider->setRange(0, static_cast<int>(positions.size()) - 1);
    m_slider->setPageStep(1);
    // Position 0 at the top, as the names are listed.
    m_slider->setInvertedAppearance(true);
    m_slider->setInvertedControls(true);
    m_slider->setTickPosition(QSlider::TicksRight);
    m_slider->setTickInterval(1);
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(0);
    grid->addWidget(m_slider, 0, 0, static_cast<int>(positions.size()), 1);
    for (int i = 0; i < positions.size(); ++i) {
        auto *name = new QLabel(positions.at(i), this);
        name->setMinimumHeight(name->fontMetrics().height());
        name->setObjectName(QStringLiteral("position%1").arg(i));
        name->setProperty("position", i);
        name->installEventFilter(this);
        grid->addWidget(name, i, 1);
    }
    connect(m_slider, &QSlider::valueChanged, this, &ModeSlide::pointerValueChanged);
}

int ModeSlide::value() const
{
    return m_slider->value();
}

void ModeSlide::setValue(int position)
{
    m_slider->setValue(position);
}

bool ModeSlide::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        const QVariant position = watched->property("position");
        if (position.isValid()) {
            setValue(position.toInt());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace qle
