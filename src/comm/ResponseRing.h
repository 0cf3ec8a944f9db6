#pragma once

#include <QString>

#include <array>

namespace qle {

// The reply store and the line splitter that fills it.
class ResponseRing {
public:
    static constexpr int Size = 200;

    void RspPush(const QString &data);
    QString RspPop();
    void ResetRspArray() { m_count = 0; }
    // Forgets the characters received since the last line end.
    void discardPartialLine()
    {
        m_line.clear();
        m_pairPartner = QChar();
    }
    // Cuts received characters into lines. A CR LF or LF CR pair ends one
    // line; a lone CR or LF ends a line too. A line containing "bit" is dropped.
    void RspTask(const QString &data);

    [[nodiscard]] int RspCount() const { return m_count; }
    [[nodiscard]] const QString &RspLine() const { return m_line; }
    // The last line pushed, for the display of the last complete reply.
    [[nodiscard]] const QString &lastLine() const { return m_lastLine; }
    // How many lines the splitter has ended so far, dropped ones included.
    [[nodiscard]] quint64 linesEnded() const { return m_linesEnded; }

private:
    std::array<QString, Size> m_lines{};
    int m_count = 0;
    QString m_line;
    QString m_lastLine;
    // The line end that, if it comes next, completes a CR LF or LF CR pair.
    QChar m_pairPartner;
    quint64 m_linesEnded = 0;
};

} // namespace qle
