#pragma once

namespace qle {

class IClock;
class IMessageBox;
class ISettingsStore;

// The services the program reaches the outside world through. The program
// installs the real ones at start; tests install doubles.
namespace platform {

IClock &clock();
void setClock(IClock *clock); // nullptr restores the system clock

IMessageBox &messageBox();
void setMessageBox(IMessageBox *box); // must be set before the first box is shown

ISettingsStore &settings();
void setSettings(ISettingsStore *store); // nullptr restores the per-user store

} // namespace platform
} // namespace qle
