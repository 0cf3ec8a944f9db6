#pragma once

#include "ThreadedGpibDevice.h"

namespace qle {

// An instrument reached through the platform's VISA library.
class VisaGpibDevice final : public ThreadedGpibDevice {
    Q_OBJECT
public:
    explicit VisaGpibDevice(QObject *parent = nullptr);
};

} // namespace qle
