#pragma once

#include <QEventLoop>
#include <QTimer>

namespace qle {

// Lets the user-interface thread wait for an answer that comes back as an
// event (a worker's result, a socket connecting) without blocking: a local
// event loop runs until finish() is called or the time is up.
class LocalWait final {
public:
    explicit LocalWait(int timeoutMsec);
    LocalWait(const LocalWait &) = delete;
    LocalWait &operator=(const LocalWait &) = delete;

    // The answer; a call before exec() makes exec() return at once.
    void finish(bool ok);
    // True when finish(true) came before the time ran out.
    bool exec();

private:
    QEventLoop m_loop;
    QTimer m_deadline;
    bool m_done = false;
    bool m_ok = false;
};

} // namespace qle
