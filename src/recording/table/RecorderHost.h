#pragma once

namespace qle {

class Panel;
class frmGraphicRecord;

// What the table recorder needs of the main window.
class IRecorderHost {
public:
    virtual ~IRecorderHost() = default;

    // 3 while a panel is open and running.
    [[nodiscard]] virtual int mainFormState() const = 0;
    // The open control panel, whose displayed readings are recorded; nullptr when none.
    [[nodiscard]] virtual Panel *currentPanel() const = 0;
    // The graph window of the same connection; nullptr when none.
    [[nodiscard]] virtual frmGraphicRecord *graphWindow() const = 0;
    // The record settings' sample-interval position (RecScale), stored with a saved record.
    [[nodiscard]] virtual int recordScaleSetting() const = 0;
    // The oldest a displayed reading may be to be recorded, in ms; older is
    // stored blank. 0 when readings come at a fixed cadence of their own.
    [[nodiscard]] virtual int readingMaxAgeMs() const { return 0; }
};

} // namespace qle
