#pragma once

#include <QByteArray>

#include <optional>

namespace psusim {

// Turns one received line into its effect and, for a query, the reply text
// (without line terminator).
class CommandInterpreter {
public:
    virtual ~CommandInterpreter() = default;
    virtual std::optional<QByteArray> execute(const QByteArray &line) = 0;
};

} // namespace psusim
