#include "SimBus.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>

namespace standin {

SimBus &simBus()
{
    static SimBus bus;
    return bus;
}

bool SimBus::connectFromEnvironment()
{
    disconnect();
    const char *where = std::getenv(AddressVariable);
    if (!where)
        return false;
    const std::string text(where);
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos)
        return false;
    const std::string host = text.substr(0, colon);
    const int port = std::atoi(text.c_str() + colon + 1);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (port <= 0 || inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1)
        return false;
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_input.clear();
    return true;
}

void SimBus::disconnect()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_input.clear();
}

bool SimBus::sendRaw(const std::string &bytes)
{
    std::size_t done = 0;
    while (m_fd >= 0 && done < bytes.size()) {
        const ssize_t n = ::send(m_fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return m_fd >= 0;
}

bool SimBus::selectAddress(int address)
{
    return sendRaw("++auto 0\n++eoi 1\n++eos 3\n++addr " + std::to_string(address) + "\n");
}

bool SimBus::sendMessage(const char *data, std::size_t size)
{
    std::string line;
    for (std::size_t i = 0; i < size; ++i) {
        const char c = data[i];
        if (c == '\r' || c == '\n' || c == '\x1b' || c == '+')
            line += '\x1b';
        line += c;
    }
    return sendRaw(line + "\n");
}

bool SimBus::readReply(std::string &reply, int timeoutMsec)
{
    m_input.clear();
    if (!sendRaw("++read eoi\n"))
        return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMsec);
    for (;;) {
        const std::size_t end = m_input.find('\n');
        if (end != std::string::npos) {
            reply = m_input.substr(0, end + 1);
            m_input.erase(0, end + 1);
            return true;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0)
            return false;
        pollfd waiting{m_fd, POLLIN, 0};
        if (::poll(&waiting, 1, static_cast<int>(left)) <= 0)
            continue;
        char chunk[512];
        const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            return false;
        m_input.append(chunk, static_cast<std::size_t>(n));
    }
}

bool SimBus::deviceClear()
{
    return sendRaw("++clr\n");
}

} // namespace standin
