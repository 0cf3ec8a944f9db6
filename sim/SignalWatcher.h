#pragma once

#include <QObject>

class QSocketNotifier;

namespace psusim {

// Turns SIGINT, SIGTERM and SIGHUP into a Qt signal on the event loop, so the
// simulator can clean up (remove its symbolic link) before it exits.
class SignalWatcher : public QObject {
    Q_OBJECT
public:
    explicit SignalWatcher(QObject *parent = nullptr);
    ~SignalWatcher() override;

signals:
    void terminationRequested();

private:
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace psusim
