#pragma once

#include <QByteArray>
#include <QList>

namespace psusim {

// Cuts received bytes into lines ended by CR, LF or CR LF. Empty lines are
// dropped; a line longer than the limit is cut there.
class LineSplitter {
public:
    static constexpr qsizetype kMaxLine = 4096;

    QList<QByteArray> feed(const QByteArray &bytes);
    // Ends the pending partial line (e.g. on GPIB end-or-identify).
    QList<QByteArray> flush();
    void clear();

private:
    QByteArray m_line;
    bool m_afterCr = false;
};

} // namespace psusim
