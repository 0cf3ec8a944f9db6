#include "Platform.h"

#include "Clock.h"
#include "MessageBox.h"
#include "SettingsStore.h"
#include "Trace.h"

namespace qle::platform {
namespace {

SystemClock g_systemClock;
IClock *g_clock = &g_systemClock;

// Used only when nothing else was installed: a program without a message box
// must not crash, so the text goes to the trace and the box answers Cancel/No.
class NoMessageBox final : public IMessageBox {
public:
    Answer show(const QString &text, const QString &title, Buttons buttons, Icon) override
    {
        Trace("message box without display: " + title + ": " + text);
        return buttons == Buttons::YesNo ? Answer::No : (buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel);
    }
};
NoMessageBox g_noMessageBox;
IMessageBox *g_messageBox = &g_noMessageBox;

QSettingsStore g_userSettings;
ISettingsStore *g_settings = &g_userSettings;

} // namespace

IClock &clock()
{
    return *g_clock;
}

void setClock(IClock *clock)
{
    g_clock = clock ? clock : &g_systemClock;
}

IMessageBox &messageBox()
{
    return *g_messageBox;
}

void setMessageBox(IMessageBox *box)
{
    g_messageBox = box ? box : &g_noMessageBox;
}

} // namespace qle::platform

namespace qle::platform {

ISettingsStore &settings()
{
    return *g_settings;
}

void setSettings(ISettingsStore *store)
{
    g_settings = store ? store : &g_userSettings;
}

} // namespace qle::platform
