#include "ModelTable.h"

#include <QStringList>

namespace psusim {

namespace {

QList<ModelInfo> buildTable()
{
    const OutputLimits out30v3a{30, 3, 33};
    return {
        {"KMA-3303T", CommandFamily::Colon, {out30v3a, out30v3a, {5, 3, 5.5}}, false},
        {"KMA-3005", CommandFamily::Colon, {{30, 5, 33}}, false},
        {"KMB-3203T", CommandFamily::Colon, {{32, 3, 35.2}, {32, 3, 35.2}, {32, 3, 35.2}}, false},
        {"KMB-6001", CommandFamily::Colon, {{60, 1, 66}}, false},
        {"KMC-3303T", CommandFamily::Colon, {out30v3a, out30v3a, out30v3a}, false},
        {"KMC-0505", CommandFamily::Colon, {{5, 5, 5.5}}, false},
        {"QLE-3303T", CommandFamily::Colon, {out30v3a, out30v3a, out30v3a}, false},
        {"QLE-3003", CommandFamily::Colon, {out30v3a}, false},
        {"QLE-5505", CommandFamily::Legacy, {{30, 5, 0}, {30, 5, 0}}, false},
        {"KMA-9000", CommandFamily::Colon, {out30v3a, out30v3a, out30v3a}, true},
    };
}

} // namespace

const QList<ModelInfo> &modelTable()
{
    static const QList<ModelInfo> table = buildTable();
    return table;
}

const ModelInfo *findModel(const QString &name)
{
    for (const ModelInfo &model : modelTable()) {
        if (model.name.compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return &model;
    }
    return nullptr;
}

const ModelInfo &defaultModel()
{
    return modelTable().front();
}

QString modelTableText()
{
    QStringList lines;
    lines << QStringLiteral("model       family  outputs (voltage max / current max / OVP max)");
    for (const ModelInfo &model : modelTable()) {
        QStringList outs;
        for (const OutputLimits &out : model.outputs) {
            QString text = QStringLiteral("%1 V/%2 A").arg(out.voltMax).arg(out.currMax);
            text += model.hasOvp() ? QStringLiteral(" (OVP %1)").arg(out.ovpMax) : QStringLiteral(" (no OVP)");
            outs << text;
        }
        QString line =
            QStringLiteral("%1  %2  %3")
                .arg(model.name, -10)
                .arg(model.family == CommandFamily::Colon ? QStringLiteral("colon ") : QStringLiteral("legacy"))
                .arg(outs.join(QStringLiteral(", ")));
        if (model.discontinued)
            line += QStringLiteral("  [discontinued]");
        lines << line;
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace psusim
