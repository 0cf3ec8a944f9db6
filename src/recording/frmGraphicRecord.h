#pragma once

#include <QWidget>

class QLineEdit;

namespace qle {

// The graph recorder window: the recorded rows as time traces.
class frmGraphicRecord final : public QWidget {
    Q_OBJECT
public:
    explicit frmGraphicRecord(QWidget *parent = nullptr);

    // Holds the channel count as text, "1" to "3".
    QLineEdit *txtChannels = nullptr;
};

} // namespace qle
