#pragma once

#include <QColor>

class QWidget;

namespace qle {

// The colour picker of the record settings. Tests install a scripted one so
// that no test opens a real colour dialog.
class IColorPicker {
public:
    virtual ~IColorPicker() = default;
    // The chosen colour; the initial one when the user cancels.
    virtual QColor pick(const QColor &initial, QWidget *parent) = 0;
};

namespace recording {
IColorPicker &colorPicker();
void setColorPicker(IColorPicker *picker); // nullptr restores the colour dialog
} // namespace recording

// Colours are kept as the decimal number of 0x00BBGGRR.
[[nodiscard]] QString colorToDecimal(const QColor &color);
// Text that is not such a number gives black.
[[nodiscard]] QColor colorFromDecimal(const QString &text);

} // namespace qle
