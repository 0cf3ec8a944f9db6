#pragma once

#include "comm/TcpLink.h"
#include "SettingsDialog.h"

class QLineEdit;
class QSpinBox;

namespace qle {

// Interface > LAN (TCP)...: the host and port of an instrument reached over a
// raw TCP socket (a serial-over-LAN adapter, the virtual instrument's --tcp),
// kept in the settings section "TCP".
class dlgLan final : public SettingsDialog {
    Q_OBJECT
public:
    static constexpr quint16 DefaultPort = 5025;

    explicit dlgLan(QWidget *parent = nullptr);

    // With IsDirect the stored address is taken without showing anything;
    // true with address() set when there is one to connect to.
    bool Execute(bool IsDirect);
    // Takes `address` as if confirmed in the dialog.
    void remember(const TcpAddress &address);
    [[nodiscard]] TcpAddress address() const { return m_address; }

    [[nodiscard]] QLineEdit *hostField() const { return m_host; }
    [[nodiscard]] QSpinBox *portField() const { return m_port; }

    // The stored address; nothing when none was ever confirmed.
    [[nodiscard]] static std::optional<TcpAddress> stored();

private:
    QLineEdit *m_host;
    QSpinBox *m_port;
    TcpAddress m_address;
};

} // namespace qle
