#pragma once

#include <QWidget>

namespace qle {

// The table recorder window: the recorded rows of the current connection.
class frmDataTable final : public QWidget {
    Q_OBJECT
public:
    explicit frmDataTable(QWidget *parent = nullptr);

    // Channel count minus one: 0, 1 or 2.
    qint16 ContrlIdx = 0;
};

} // namespace qle
