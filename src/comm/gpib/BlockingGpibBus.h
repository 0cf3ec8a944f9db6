#pragma once

#include <QByteArray>
#include <QString>

#include <utility>

namespace qle {

// What one blocking call on a vendor GPIB library gave back.
struct BusResult {
    bool ok = false;
    QByteArray data; // the bytes read, for a read
    QString error;   // why it failed, otherwise empty

    static BusResult success(QByteArray bytes = {}) { return {true, std::move(bytes), {}}; }
    static BusResult failure(QString why) { return {false, {}, std::move(why)}; }
};

// A vendor library's view of one instrument. Every call blocks until the bus
// is done or the library's own I/O time-out has passed, so it is only ever
// used on a worker thread.
class BlockingGpibBus {
public:
    // How long one read or write may take before the library gives up.
    static constexpr int IoTimeoutMsec = 3000;

    virtual ~BlockingGpibBus() = default;
    // Loads the library if needed and opens the instrument; an open one is closed first.
    virtual BusResult open(int board, int address) = 0;
    // Sends the bytes as one message, the last with END (EOI).
    virtual BusResult write(const QByteArray &data) = 0;
    // Reads one message, up to END.
    virtual BusResult read() = 0;
    // Selected device clear; failures do not matter.
    virtual void clear() = 0;
    virtual void close() = 0;
};

} // namespace qle
