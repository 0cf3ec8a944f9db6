#include "StopSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace qle::cli {
namespace {

// The handler writes a byte to one end; the loop reads it from the other.
int s_pair[2] = {-1, -1};
constexpr int Handled[] = {SIGINT, SIGTERM, SIGHUP};

} // namespace

StopSignals::StopSignals()
{
    if (s_pair[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, s_pair) != 0)
        return;
    m_notifier = new QSocketNotifier(s_pair[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        if (::read(s_pair[1], &byte, 1) == 1)
            m_stopped = true;
        if (m_onStop)
            m_onStop();
    });
    struct sigaction action = {};
    action.sa_handler = [](int) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = ::write(s_pair[0], &byte, 1);
    };
    sigemptyset(&action.sa_mask);
    for (const int signal : Handled)
        ::sigaction(signal, &action, nullptr);
}

StopSignals::~StopSignals()
{
    for (const int signal : Handled)
        ::signal(signal, SIG_DFL);
}

} // namespace qle::cli
