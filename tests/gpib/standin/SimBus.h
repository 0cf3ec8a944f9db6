#pragma once

#include <cstddef>
#include <string>

// Marks the entry points a stand-in library exports; everything else stays hidden.
#define STANDIN_EXPORT __attribute__((visibility("default")))

namespace standin {

// What the stand-in GPIB libraries put behind their entry points: one TCP
// connection to the virtual instrument's Prologix controller, whose
// "host:port" is in the environment variable QLE_GPIB_STANDIN_SIM. Blocking
// calls, as a vendor library makes them.
class SimBus {
public:
    static constexpr const char *AddressVariable = "QLE_GPIB_STANDIN_SIM";

    bool connectFromEnvironment();
    void disconnect();
    [[nodiscard]] bool isConnected() const { return m_fd >= 0; }

    // Points the controller at one instrument, no automatic reads.
    bool selectAddress(int address);
    // One message to the instrument, ended by EOI.
    bool sendMessage(const char *data, std::size_t size);
    // Asks for the instrument's reply: the bytes through the first LF, or
    // false when none came within timeoutMsec.
    bool readReply(std::string &reply, int timeoutMsec);
    bool deviceClear();

private:
    bool sendRaw(const std::string &bytes);

    int m_fd = -1;
    std::string m_input;
};

// The process's one connection.
SimBus &simBus();

} // namespace standin
