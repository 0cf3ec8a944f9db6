#pragma once

#include "Instrument.h"
#include "ModelTable.h"

#include <QByteArray>
#include <QStringList>

#include <memory>

namespace simtest {

// An instrument with exact read-back values.
inline std::unique_ptr<psusim::Instrument> makeInstrument(const QString &model = QStringLiteral("KMA-3303T"),
                                                          int autoRunUnitMs = psusim::AutoRun::kDefaultUnitMs)
{
    psusim::InstrumentConfig config;
    config.voltNoise = 0;
    config.currNoise = 0;
    config.autoRunUnitMs = autoRunUnitMs;
    const psusim::ModelInfo *info = psusim::findModel(model);
    Q_ASSERT(info);
    return std::make_unique<psusim::Instrument>(*info, config);
}

// The reply to a line, or "<none>" when the instrument stays silent.
inline QByteArray ask(psusim::Instrument &instrument, const QByteArray &line)
{
    const std::optional<QByteArray> reply = instrument.execute(line);
    return reply ? *reply : QByteArrayLiteral("<none>");
}

// Sends each line, expecting no reply to any of them.
inline bool sendAll(psusim::Instrument &instrument, const QStringList &lines)
{
    for (const QString &line : lines) {
        if (instrument.execute(line.toLatin1()))
            return false;
    }
    return true;
}

} // namespace simtest
