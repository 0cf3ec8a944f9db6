#pragma once

#include "platform/Trace.h"

#include <QWidget>

class QListWidget;

namespace qle {

// The trace window ("Report"): lists trace lines and writes them to KMAxLog.txt
// in the current directory.
class frmDebug final : public QWidget, public ITraceSink {
    Q_OBJECT
public:
    static constexpr int MaxListEntries = 20000;

    explicit frmDebug(QWidget *parent = nullptr);
    void printd(const QString &message) override;

    [[nodiscard]] QListWidget *lstReport() const { return m_list; }

private:
    QListWidget *m_list;
};

} // namespace qle
