#pragma once

#include "comm/GpibDevice.h"

#include <memory>

namespace qle {

class ISettingsStore;

namespace gpib {

// The GPIB device the settings of section "GPIB" ask for: "Backend" names the
// library or adapter; with "auto" (the default) VISA if a VISA library loads,
// else linux-gpib if its library loads, else a Prologix controller on
// "AdapterPort" or, failing that, at "AdapterHost". Nullptr when nothing is
// available or "Backend" names none of these. The device still has to be
// configured with board and address.
[[nodiscard]] std::unique_ptr<GpibDevice> createGpibDevice(const ISettingsStore &settings);
// Why createGpibDevice() gives no device for these settings, for the user.
[[nodiscard]] QString noDeviceReason(const ISettingsStore &settings);

} // namespace gpib
} // namespace qle
