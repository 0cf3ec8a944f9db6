#pragma once

#include "NumberSettingsDialog.h"

namespace qle {

// The instrument's setting memory to recall or to store into. Both dialogs
// share one key, so the number last used by either is offered by both.
class MemoryDialog : public NumberSettingsDialog {
    Q_OBJECT
public:
    [[nodiscard]] int Memory() const { return value(0); }

protected:
    MemoryDialog(const QString &caption, QWidget *parent);
};

} // namespace qle
