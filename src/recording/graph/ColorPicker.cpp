#include "ColorPicker.h"

#include "platform/widgets/ModalRunner.h"

#include <QColorDialog>
#include <QString>

namespace qle {
namespace {

// The standard colour dialog, run like every other modal dialog.
class DialogColorPicker final : public IColorPicker {
public:
    QColor pick(const QColor &initial, QWidget *parent) override
    {
        QColorDialog dialog(initial, parent);
        if (platform::modalRunner().exec(dialog) != QDialog::Accepted || !dialog.selectedColor().isValid())
            return initial;
        return dialog.selectedColor();
    }
};

DialogColorPicker g_dialogPicker;
IColorPicker *g_picker = &g_dialogPicker;

} // namespace

IColorPicker &recording::colorPicker()
{
    return *g_picker;
}

void recording::setColorPicker(IColorPicker *picker)
{
    g_picker = picker ? picker : &g_dialogPicker;
}

QString colorToDecimal(const QColor &color)
{
    const QColor rgb = color.toRgb();
    return QString::number(rgb.red() + rgb.green() * 0x100 + rgb.blue() * 0x10000);
}

QColor colorFromDecimal(const QString &text)
{
    bool ok = false;
    const qlonglong value = text.trimmed().toLongLong(&ok);
    if (!ok || value < 0 || value > 0xFFFFFF)
        return QColor(0, 0, 0);
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

} // namespace qle
