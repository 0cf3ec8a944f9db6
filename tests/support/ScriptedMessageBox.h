#pragma once

#include "platform/MessageBox.h"

#include <QList>
#include <QString>

#include <functional>

namespace qle::testing {

// Records every box the program shows and answers from a script (then Ok/Yes
// by default when the script runs out). Installs itself while it lives.
class ScriptedMessageBox final : public IMessageBox {
public:
    struct Shown {
        QString text;
        QString title;
        Buttons buttons;
        Icon icon;
    };

    ScriptedMessageBox();
    ~ScriptedMessageBox() override;

    Answer show(const QString &text, const QString &title, Buttons buttons, Icon icon) override;

    void script(Answer answer) { m_script.append(answer); }
    // Runs while each box is "open", before it answers: a test can turn the
    // event loop there, as a real modal box does.
    void whileShown(std::function<void(const Shown &)> hook) { m_whileShown = std::move(hook); }
    [[nodiscard]] const QList<Shown> &shown() const { return m_shown; }
    [[nodiscard]] QStringList texts() const;
    void clear() { m_shown.clear(); }

private:
    QList<Answer> m_script;
    QList<Shown> m_shown;
    std::function<void(const Shown &)> m_whileShown;
};

} // namespace qle::testing
