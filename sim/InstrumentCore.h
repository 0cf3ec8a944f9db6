#pragma once

#include "AutoRun.h"
#include "ErrorQueue.h"
#include "MeasurementNoise.h"
#include "PowerSupply.h"

#include <QByteArray>

#include <cstdint>

namespace psusim {

struct InstrumentConfig {
    QByteArray maker = QByteArrayLiteral("QV Instruments");
    QByteArray serialNumber = QByteArrayLiteral("SN000123");
    QByteArray firmware = QByteArrayLiteral("1.0");
    std::uint32_t seed = 1;
    double voltNoise = MeasurementNoise::kDefaultVoltAmplitude;
    double currNoise = MeasurementNoise::kDefaultCurrAmplitude;
    int autoRunUnitMs = AutoRun::kDefaultUnitMs;
};

// Everything one instrument holds; the command interpreters work on it.
struct InstrumentCore {
    InstrumentCore(const ModelInfo &model, const InstrumentConfig &config);

    // "maker,model,serial,firmware"
    [[nodiscard]] QByteArray identification() const;
    // Read-back values with noise; exactly 0 while the output is off.
    double measuredVolt(int ch);
    double measuredCurr(int ch);

    InstrumentConfig config;
    PowerSupply supply;
    ErrorQueue errors;
    AutoRun autoRun;
    MeasurementNoise noise;
};

} // namespace psusim
