#pragma once

#include "protocol/DeviceCommands.h"

#include <QString>

#include <optional>

namespace qle {

// The legacy family's reply to "STATUS?", read without any window: after all
// spaces are removed, characters 3-4 (1-based) are the coupling bits ("01"
// independent, "11" track, "10" parallel) and character 7 the output bit
// ("0" off, "1" on). A field that holds anything else, or that the word is
// too short to reach, is left empty: it changes nothing.
struct LegacyStatusWord {
    std::optional<Coupling> coupling;
    std::optional<bool> output;

    [[nodiscard]] static LegacyStatusWord parse(const QString &text);

    friend bool operator==(const LegacyStatusWord &, const LegacyStatusWord &) = default;
};

} // namespace qle
