#pragma once

#include "BlockingGpibBus.h"
#include "LinuxGpibApi.h"

namespace qle {

// One GPIB instrument through linux-gpib: ibdev on board index and primary
// address, writes ended by EOI, reads ended by END.
class LinuxGpibBus final : public BlockingGpibBus {
public:
    ~LinuxGpibBus() override;

    BusResult open(int board, int address) override;
    BusResult write(const QByteArray &data) override;
    BusResult read() override;
    void clear() override;
    void close() override;

private:
    [[nodiscard]] BusResult failure(const QString &call) const;

    linuxgpib::LinuxGpibApi m_api;
    int m_ud = -1;
};

} // namespace qle
