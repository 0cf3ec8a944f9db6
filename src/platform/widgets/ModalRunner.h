#pragma once

class QDialog;

namespace qle {

// Runs a dialog modally. Tests install a scripted runner that fills in the
// dialog and presses its buttons instead of waiting for a person.
class IModalRunner {
public:
    virtual ~IModalRunner() = default;
    // Returns QDialog::Accepted or QDialog::Rejected.
    virtual int exec(QDialog &dialog) = 0;
};

namespace platform {
IModalRunner &modalRunner();
void setModalRunner(IModalRunner *runner); // nullptr restores QDialog::exec
} // namespace platform

} // namespace qle
