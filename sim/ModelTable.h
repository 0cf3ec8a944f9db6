#pragma once

#include <QList>
#include <QString>

namespace psusim {

// Which command language the instrument's firmware speaks.
enum class CommandFamily {
    Colon,  // ":CHAN1:VOLT 12.5" style
    Legacy, // "VSET1:12.5" style
};

struct OutputLimits {
    double voltMax = 0;
    double currMax = 0;
    double ovpMax = 0; // 0 when the output has no over-voltage protection
};

struct ModelInfo {
    QString name;
    CommandFamily family = CommandFamily::Colon;
    QList<OutputLimits> outputs;
    bool discontinued = false;

    [[nodiscard]] int outputCount() const { return int(outputs.size()); }
    [[nodiscard]] bool hasOvp() const { return family == CommandFamily::Colon; }
};

// Every model this firmware can pretend to be.
const QList<ModelInfo> &modelTable();

// Case-insensitive lookup; nullptr when unknown.
const ModelInfo *findModel(const QString &name);

const ModelInfo &defaultModel();

// Human-readable table, one model per line.
QString modelTableText();

} // namespace psusim
