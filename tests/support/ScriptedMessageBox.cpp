#include "ScriptedMessageBox.h"

#include "platform/Platform.h"

namespace qle::testing {

ScriptedMessageBox::ScriptedMessageBox()
{
    platform::setMessageBox(this);
}

ScriptedMessageBox::~ScriptedMessageBox()
{
    platform::setMessageBox(nullptr);
}

IMessageBox::Answer ScriptedMessageBox::show(const QString &text, const QString &title, Buttons buttons, Icon icon)
{
    m_shown.append({text, title, buttons, icon});
    if (m_whileShown) {
        // A copy: the hook may replace itself.
        const auto hook = m_whileShown;
        hook(m_shown.last());
    }
    if (!m_script.isEmpty())
        return m_script.takeFirst();
    return buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok;
}

QStringList ScriptedMessageBox::texts() const
{
    QStringList result;
    for (const Shown &box : m_shown)
        result.append(box.text);
    return result;
}

} // namespace qle::testing
