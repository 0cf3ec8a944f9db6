#include "LinuxGpibDevice.h"

#include "LinuxGpibBus.h"

namespace qle {

LinuxGpibDevice::LinuxGpibDevice(QObject *parent) : ThreadedGpibDevice(std::make_unique<LinuxGpibBus>(), parent)
{
}

} // namespace qle
