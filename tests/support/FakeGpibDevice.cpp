#include "FakeGpibDevice.h"

#include <QTimer>

namespace qle::testing {

bool FakeGpibDevice::configure(int, int address)
{
    m_address = address;
    return true;
}

void FakeGpibDevice::write(const QByteArray &data)
{
    written.append(data);
    m_lastQuery = data;
    if (failNextWrite) {
        failNextWrite = false;
        QTimer::singleShot(0, this, [this] { emit error("bus error"); });
        return;
    }
    QTimer::singleShot(0, this, [this] { emit writeComplete(); });
}

void FakeGpibDevice::readAsync()
{
    ++reads;
    const QByteArray reply = replies.value(m_lastQuery, QByteArray("0\n"));
    QTimer::singleShot(0, this, [this, reply] { emit dataRead(reply); });
}

} // namespace qle::testing
