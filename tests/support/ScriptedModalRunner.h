#pragma once

#include "platform/widgets/ModalRunner.h"

#include <functional>
#include <QDialog>
#include <QList>
#include <QString>

namespace qle::testing {

// Answers modal dialogs from a script: each step gets the dialog (with its
// widgets in place) and returns what exec() would. With the script empty, the
// dialog is rejected. Installs itself while it lives.
class ScriptedModalRunner final : public IModalRunner {
public:
    using Step = std::function<int(QDialog &)>;

    ScriptedModalRunner() { platform::setModalRunner(this); }
    ~ScriptedModalRunner() override { platform::setModalRunner(nullptr); }
    ScriptedModalRunner(const ScriptedModalRunner &) = delete;
    ScriptedModalRunner &operator=(const ScriptedModalRunner &) = delete;

    int exec(QDialog &dialog) override
    {
        shownTitles.append(dialog.windowTitle());
        if (steps.isEmpty())
            return QDialog::Rejected;
        return steps.takeFirst()(dialog);
    }

    void script(Step step) { steps.append(std::move(step)); }

    QList<Step> steps;
    QStringList shownTitles;
};

} // namespace qle::testing
