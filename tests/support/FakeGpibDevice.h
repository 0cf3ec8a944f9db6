#pragma once

#include "comm/GpibDevice.h"

#include <QByteArrayList>
#include <QMap>

namespace qle::testing {

// A GPIB device that answers like an instrument from a table of replies.
// Completion notices are queued on the event loop, as a real bus delivers them.
class FakeGpibDevice final : public GpibDevice {
    Q_OBJECT
public:
    using GpibDevice::GpibDevice;

    bool configure(int board, int address) override;
    [[nodiscard]] int address() const override { return m_address; }
    void write(const QByteArray &data) override;
    void readAsync() override;
    void reset() override { ++resets; }

    QMap<QByteArray, QByteArray> replies; // query text -> reply sent on read
    QByteArrayList written;
    int reads = 0;
    int resets = 0;
    bool failNextWrite = false;

private:
    QByteArray m_lastQuery;
    int m_address = 0;
};

} // namespace qle::testing
