#pragma once

#include "BlockingGpibBus.h"
#include "VisaApi.h"

namespace qle {

// One GPIB instrument through VISA: resource "GPIBb::a::INSTR", reads ended
// by END only, writes ended by END.
class VisaBus final : public BlockingGpibBus {
public:
    ~VisaBus() override;

    BusResult open(int board, int address) override;
    BusResult write(const QByteArray &data) override;
    BusResult read() override;
    void clear() override;
    void close() override;

private:
    [[nodiscard]] BusResult failure(const QString &call, visa::ViStatus status) const;

    visa::VisaApi m_api;
    visa::ViSession m_rm = 0;
    visa::ViSession m_vi = 0;
};

} // namespace qle
