#pragma once

#include "BlockingGpibBus.h"

#include <QObject>

#include <memory>

class QThread;

namespace qle {

// Lives on a ThreadedGpibDevice's worker thread and makes the blocking bus
// calls there, one at a time in the order they were asked for. Each call
// answers with finished(), carrying the ticket it was given.
class GpibWorker final : public QObject {
    Q_OBJECT
public:
    explicit GpibWorker(std::unique_ptr<BlockingGpibBus> bus);
    ~GpibWorker() override;

    void open(quint64 ticket, int board, int address);
    void write(quint64 ticket, const QByteArray &data);
    void read(quint64 ticket);
    void clear();
    // Closes the instrument and ends the worker thread's event loop.
    void shutdown();

signals:
    void finished(quint64 ticket, bool ok, const QByteArray &data, const QString &error);

private:
    void answer(quint64 ticket, const BusResult &result);

    std::unique_ptr<BlockingGpibBus> m_bus;
    bool m_open = false;
};

} // namespace qle
