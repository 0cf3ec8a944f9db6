#include "CWButton.h"

namespace qle {

CWButton::CWButton(const QString &caption, int index, QWidget *parent) : QPushButton(caption, parent), m_index(index)
{
    setCheckable(true);
    // QAbstractButton::toggled is raised only on a real change of state.
    connect(this, &QAbstractButton::toggled, this, &CWButton::ValueChanged);
    connect(this, &QAbstractButton::clicked, this, [this] { emit Clicked(m_index); });
}

} // namespace qle
