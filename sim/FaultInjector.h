#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <random>

namespace psusim {

// Misbehaviour on demand, set from the command line or the control channel
// with the same texts ("delay 300", "noreply :SYST:ERR?", ...). Counted
// faults ("disconnect 5", "noreply-after 3") count instrument commands from
// the moment they are set; "disconnect" and "flood" fire once.
class FaultInjector {
public:
    explicit FaultInjector(std::uint32_t seed = 1);

    // Returns an empty string when the fault was understood, else the reason.
    QString apply(const QString &faultText);
    void clear();
    [[nodiscard]] QString describe() const;
    static QString help();

    struct Verdict {
        bool mute = false;       // the reply to this command is not sent
        bool disconnect = false; // drop the link once its reply is out
    };
    // Called once for every command that reaches an instrument.
    Verdict onCommand(const QByteArray &command);

    struct Piece {
        QByteArray bytes;
        double notBeforeMs = 0;
        int gapMs = 0;
        QByteArray label; // the line as sent, for the transcript
    };
    struct Shaped {
        QList<Piece> pieces;
        QStringList notes;
    };
    // How the reply to command, ready at readyAtMs, goes on the wire.
    Shaped shapeReply(const QByteArray &reply, const QByteArray &command, const QByteArray &terminator,
                      double readyAtMs);

    [[nodiscard]] int commandCount() const { return m_commands; }

    static constexpr char kBitLine[] = "Data bits: 8";

private:
    QByteArray garbage(qsizetype size);

    std::mt19937 m_engine;
    int m_commands = 0;

    QList<QByteArray> m_noReplyTo;
    int m_muteFrom = -1;     // command number from which replies stop
    int m_disconnectAt = -1; // command number after which the link drops
    int m_delayMs = 0;
    int m_idnLateMs = 0;
    bool m_garbage = false;
    bool m_noTerminator = false;
    int m_splitChunks = 0;
    int m_splitPauseMs = 0;
    int m_extraLines = 0;
    bool m_bitLine = false;
    int m_floodLines = 0;
};

} // namespace psusim
