#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

namespace qle {

// An instrument on a GPIB bus. Writes and reads are asynchronous; completion
// comes back as signals on the user-interface thread.
class GpibDevice : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Board index and primary address; false when the bus cannot be reached.
    virtual bool configure(int board, int address) = 0;
    [[nodiscard]] virtual int address() const = 0;
    // Starts writing the text unchanged; writeComplete() or error() follows.
    virtual void write(const QByteArray &data) = 0;
    // Starts reading one reply; dataRead() or error() follows.
    virtual void readAsync() = 0;
    virtual void reset() = 0;
    // Why the last configure() failed, in the library's or adapter's words;
    // empty when it says nothing.
    [[nodiscard]] virtual QString lastError() const { return {}; }

signals:
    void writeComplete();
    void dataRead(const QByteArray &data);
    void error(const QString &description);
};

} // namespace qle
