#include "dlgUnattended.h"

#include "platform/Platform.h"
#include "platform/SettingsStore.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QSpinBox>

namespace qle {

dlgUnattended::dlgUnattended(QWidget *parent)
    : SettingsDialog(parent), chkReconnect(new QCheckBox("Reconnect by itself after a lost link", this)),
      spnRetrySec(new QSpinBox(this)), spnGiveUpMin(new QSpinBox(this))
{
    setWindowTitle("Unattended");
    fields()->addWidget(reconnectGroup(), 0, 0, 1, 2);
    takesFirstFocus(chkReconnect);
}

QGroupBox *dlgUnattended::reconnectGroup()
{
    auto *group = new QGroupBox("Lost link", this);
    group->setObjectName("grpReconnect");
    chkReconnect->setObjectName("chkReconnect");
    spnRetrySec->setObjectName("spnRetrySec");
    spnRetrySec->setRange(1, ReconnectPolicy::MaxRetrySec);
    spnRetrySec->setSuffix(" s");
    spnGiveUpMin->setObjectName("spnGiveUpMin");
    spnGiveUpMin->setRange(0, ReconnectPolicy::MaxGiveUpMin);
    spnGiveUpMin->setSuffix(" min");
    spnGiveUpMin->setSpecialValueText("never");
    auto *note = new QLabel("Without it, a lost link stops the panel and the recording behind a message, "
                            "as it always did. With it, the recording goes on with gaps while the same "
                            "instrument (model and serial number) is looked for on the same link.",
                            group);
    note->setObjectName("lblReconnectNote");
    note->setWordWrap(true);
    auto *grid = new QGridLayout(group);
    grid->addWidget(chkReconnect, 0, 0, 1, 2);
    grid->addWidget(new QLabel("Try again every", group), 1, 0);
    grid->addWidget(spnRetrySec, 1, 1);
    grid->addWidget(new QLabel("Give up after", group), 2, 0);
    grid->addWidget(spnGiveUpMin, 2, 1);
    grid->addWidget(note, 3, 0, 1, 2);
    connect(chkReconnect, &QCheckBox::toggled, this, [this](bool on) {
        spnRetrySec->setEnabled(on);
        spnGiveUpMin->setEnabled(on);
    });
    return group;
}

void dlgUnattended::showReconnect(const ReconnectPolicy &policy)
{
    chkReconnect->setChecked(policy.enabled);
    spnRetrySec->setValue(policy.retrySec);
    spnGiveUpMin->setValue(policy.giveUpMin);
    spnRetrySec->setEnabled(policy.enabled);
    spnGiveUpMin->setEnabled(policy.enabled);
}

ReconnectPolicy dlgUnattended::chosenReconnect() const
{
    return {chkReconnect->isChecked(), spnRetrySec->value(), spnGiveUpMin->value()};
}

bool dlgUnattended::Execute()
{
    showReconnect(ReconnectPolicy::load(platform::settings()));
    if (!runModal())
        return false;
    chosenReconnect().save(platform::settings());
    return true;
}

} // namespace qle
