#pragma once

#include "ThreadedGpibDevice.h"

namespace qle {

// An instrument reached through linux-gpib.
class LinuxGpibDevice final : public ThreadedGpibDevice {
    Q_OBJECT
public:
    explicit LinuxGpibDevice(QObject *parent = nullptr);
};

} // namespace qle
