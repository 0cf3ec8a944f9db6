#pragma once

class QPrinter;
class QWidget;

namespace qle {

// The printer dialog of the graph's Print. Tests install a scripted one, or
// script the real dialog through the modal runner.
class IPrinterDialog {
public:
    virtual ~IPrinterDialog() = default;
    // Lets the user set up the printer; false when the dialog was cancelled.
    virtual bool choose(QPrinter &printer, QWidget *parent) = 0;
};

namespace recording {
// A QPrintDialog run through platform::modalRunner() unless a test set another.
IPrinterDialog &printerDialog();
void setPrinterDialog(IPrinterDialog *dialog); // nullptr restores the print dialog
} // namespace recording

} // namespace qle
