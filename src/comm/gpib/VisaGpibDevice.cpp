#include "VisaGpibDevice.h"

#include "VisaBus.h"

namespace qle {

VisaGpibDevice::VisaGpibDevice(QObject *parent) : ThreadedGpibDevice(std::make_unique<VisaBus>(), parent)
{
}

} // namespace qle
