#include "ModalRunner.h"

#include <QDialog>

namespace qle {
namespace {

class ExecRunner final : public IModalRunner {
public:
    int exec(QDialog &dialog) override { return dialog.exec(); }
};

ExecRunner g_execRunner;
IModalRunner *g_runner = &g_execRunner;

} // namespace

IModalRunner &platform::modalRunner()
{
    return *g_runner;
}

void platform::setModalRunner(IModalRunner *runner)
{
    g_runner = runner ? runner : &g_execRunner;
}

} // namespace qle
