#pragma once

#include "RecordRow.h"

#include <QList>
#include <QWidget>

class QLineEdit;

namespace qle {

// The graph recorder window: the recorded rows as time traces.
class frmGraphicRecord final : public QWidget {
    Q_OBJECT
public:
    explicit frmGraphicRecord(QWidget *parent = nullptr);

    // Position in the time-length list; the first entry until the list exists.
    [[nodiscard]] int xLengthIndex() const { return 0; }

    // Holds the channel count as text, "1" to "3".
    QLineEdit *txtChannels = nullptr;

    // The rows the table recorder has written, to be drawn by the graph window.
    QList<RecordRow> shownRows;

public slots:
    // Called by the table recorder after each written row.
    void ShowGraph(const qle::RecordRow &row) { shownRows.append(row); }
};

} // namespace qle
