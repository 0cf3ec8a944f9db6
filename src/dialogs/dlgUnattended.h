#pragma once

#include "instrument/LinkReconnector.h"
#include "SettingsDialog.h"

class QCheckBox;
class QGroupBox;
class QSpinBox;

namespace qle {

// File > Unattended...: what the program does on its own while nobody is at
// the screen. A lost link taken up again by itself, how often and for how
// long.
class dlgUnattended final : public SettingsDialog {
    Q_OBJECT
public:
    explicit dlgUnattended(QWidget *parent = nullptr);

    // Shows the stored settings; true with the new ones stored when OK
    // closed it.
    bool Execute();

    QCheckBox *chkReconnect;
    QSpinBox *spnRetrySec;
    QSpinBox *spnGiveUpMin;

private:
    QGroupBox *reconnectGroup();
    void showReconnect(const ReconnectPolicy &policy);
    [[nodiscard]] ReconnectPolicy chosenReconnect() const;
};

} // namespace qle
