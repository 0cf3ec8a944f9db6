#pragma once

#include "ColonInterpreter.h"
#include "CommandInterpreter.h"

namespace psusim {

struct InstrumentCore;

// The older command language of the two-output legacy model ("VSET1:12.5",
// "VOUT1?", "STATUS?"...). Unknown or out-of-range commands are ignored, as
// that firmware does. Colon-form auto-run and protection-clear commands are
// understood too.
class LegacyInterpreter : public CommandInterpreter {
public:
    explicit LegacyInterpreter(InstrumentCore &core);

    std::optional<QByteArray> execute(const QByteArray &line) override;

    // Eight characters '0'/'1': 1 CH1 CC, 2 CH2 CC, 3-4 coupling
    // ("01" independent, "11" track, "10" parallel), 7 output on.
    [[nodiscard]] QByteArray statusWord() const;

private:
    std::optional<QByteArray> setValue(const QByteArray &what, int ch, const QByteArray &value);
    std::optional<QByteArray> queryValue(const QByteArray &what, int ch);

    InstrumentCore &m_core;
    ColonInterpreter m_shared;
};

} // namespace psusim
