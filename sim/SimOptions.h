#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace psusim {

struct SimOptions {
    QString model; // empty: the default model
    bool listModels = false;
    QByteArray maker = QByteArrayLiteral("QV Instruments");
    QByteArray serialNumber = QByteArrayLiteral("SN000123");
    QByteArray firmware = QByteArrayLiteral("1.0");
    int tcpPort = -1; // -1: pseudo-terminal
    QString linkPath;
    int baud = 0; // 0: no pacing
    int latencyMs = 0;
    QByteArray terminator = QByteArrayLiteral("\n");
    bool prologix = false;
    QList<QPair<int, QString>> gpibInstruments; // address, model
    std::uint32_t seed = 1;
    double noiseVolt = 0.001;
    double noiseCurr = 0.0001;
    double loadOhms = 10; // initial load on every output; inf = open
    int autoRunUnitMs = 100;
    QStringList faults;
    bool controlStdin = true;
    QString controlSocket;
    QString transcriptPath;
};

struct ParsedOptions {
    std::optional<SimOptions> options; // nullopt: exit with exitCode
    int exitCode = 0;
    QString message; // printed before exiting
};

ParsedOptions parseOptions(const QStringList &arguments);

} // namespace psusim
