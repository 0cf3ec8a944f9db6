#include "PrintDialog.h"

#include "platform/widgets/ModalRunner.h"

#include <QPrintDialog>

namespace qle {
namespace {

class WidgetPrinterDialog final : public IPrinterDialog {
public:
    bool choose(QPrinter &printer, QWidget *parent) override
    {
        QPrintDialog dialog(&printer, parent);
        dialog.setObjectName("Dialog1");
        return platform::modalRunner().exec(dialog) == QDialog::Accepted;
    }
};

WidgetPrinterDialog s_widgetDialog;
IPrinterDialog *s_dialog = nullptr;

} // namespace

namespace recording {

IPrinterDialog &printerDialog()
{
    return s_dialog ? *s_dialog : s_widgetDialog;
}

void setPrinterDialog(IPrinterDialog *dialog)
{
    s_dialog = dialog;
}

} // namespace recording
} // namespace qle
