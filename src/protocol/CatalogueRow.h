#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>

namespace qle {

// One row of the model catalogue, addressed by column position: 0 model name,
// 1 offered, 2 layout, 3 per-channel rows, 4-6 maxima of set voltage, set
// current and over-voltage level, 7-9 their increment steps, 10-12 their
// display patterns.
struct CatalogueRow {
    QVariantList columns;

    [[nodiscard]] QVariant column(int index) const { return columns.value(index); }
    [[nodiscard]] QString mtype() const { return column(0).toString(); }
    // An empty value counts as false.
    [[nodiscard]] bool offered() const { return column(1).toInt() != 0; }
    [[nodiscard]] int layout() const { return column(2).toInt(); }
    [[nodiscard]] bool perChannel() const { return column(3).toInt() != 0; }
    [[nodiscard]] double maximum(int field) const { return column(4 + field).toDouble(); }
    [[nodiscard]] double step(int field) const { return column(7 + field).toDouble(); }
    [[nodiscard]] QString pattern(int field) const { return column(10 + field).toString(); }
};

// The three numeric fields of a channel, in catalogue column order.
enum CatalogueField : int { FieldVoltage = 0, FieldCurrent = 1, FieldOvp = 2 };

} // namespace qle
