#include "SettingsDialog.h"

#include "platform/widgets/ModalRunner.h"

#include <QAbstractSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace qle {

SettingsDialog::SettingsDialog(QWidget *parent)
    : QDialog(parent), m_fields(new QGridLayout), m_ok(new QPushButton("OK", this)),
      m_cancel(new QPushButton("Cancel", this))
{
    m_ok->setObjectName("OKButton");
    m_cancel->setObjectName("CancelButton");
    m_ok->setDefault(true);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(m_fields);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_ok, &QPushButton::clicked, this, [this] {
        m_okFlag = true;
        accept();
    });
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        m_okFlag = false;
        reject();
    });
}

bool SettingsDialog::runModal()
{
    // Escape or the window's close button reject without touching the flag.
    m_okFlag = false;
    platform::modalRunner().exec(*this);
    return m_okFlag;
}

QLabel *SettingsDialog::addLabel(int row, int column, const QString &name, const QString &text)
{
    auto *label = new QLabel(text, this);
    label->setObjectName(name);
    m_fields->addWidget(label, row, column);
    return label;
}

QSpinBox *SettingsDialog::addNumber(int row, const QString &name, int min, int max, const QString &labelName,
                                    const QString &labelText)
{
    addLabel(row, 0, labelName, labelText);
    auto *field = new QSpinBox(this);
    field->setObjectName(name);
    field->setRange(min, max);
    field->setSingleStep(1);
    m_fields->addWidget(field, row, 1);
    takesFirstFocus(field);
    return field;
}

void SettingsDialog::takesFirstFocus(QWidget *field)
{
    if (!m_firstField)
        m_firstField = field;
}

void SettingsDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Without this the default button, first in the focus chain, has it.
    if (!m_firstField)
        return;
    m_firstField->setFocus(Qt::OtherFocusReason);
    if (auto *spin = qobject_cast<QAbstractSpinBox *>(m_firstField))
        spin->selectAll();
}

} // namespace qle
