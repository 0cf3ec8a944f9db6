#include "InstrumentCore.h"

namespace psusim {

InstrumentCore::InstrumentCore(const ModelInfo &model, const InstrumentConfig &cfg)
    : config(cfg), supply(model), autoRun(supply, cfg.autoRunUnitMs), noise(cfg.seed, cfg.voltNoise, cfg.currNoise)
{
}

QByteArray InstrumentCore::identification() const
{
    return config.maker + ',' + supply.model().name.toLatin1() + ',' + config.serialNumber + ',' + config.firmware;
}

double InstrumentCore::measuredVolt(int ch)
{
    if (!supply.outputOn())
        return 0;
    return noise.voltage(supply.reading(ch).volt);
}

double InstrumentCore::measuredCurr(int ch)
{
    if (!supply.outputOn())
        return 0;
    return noise.current(supply.reading(ch).curr);
}

} // namespace psusim
