#pragma once

#include "comm/SerialPortCandidates.h"

#include <QDialog>
#include <QSerialPort>

#include <functional>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace qle {

class CommTasker;

// "Config RS232" (also "Config USB"): picks the serial device and the baud
// rate of the instrument link, lists only devices that open, remembers the
// choice and can search every device at every rate for an instrument that
// answers the identification query.
class dlgConfigRS232 final : public QDialog {
    Q_OBJECT
public:
    static constexpr int DefaultProbeWaitMsec = 1500;

    explicit dlgConfigRS232(CommTasker &engine, QWidget *parent = nullptr);

    // Devices offered after the system's own (command line, last used one).
    static void setExtraDevicePaths(const QStringList &paths);
    [[nodiscard]] static QStringList extraDevicePaths();
    // Where the system's devices come from; an empty function restores the
    // real list. Tests hide the machine's own ports this way.
    static void setSystemPortLister(std::function<QStringList()> lister);

    // IsDirect: take the stored choice without showing anything. True when the
    // choice was confirmed and converted; it is then saved.
    bool Execute(bool IsDirect);
    // The next direct connection (the on-line button's) goes to this device.
    void rememberDevice(const QString &path);
    void GetSettings();
    void SetSettings();

    // Rebuilds the port list from the devices that open now.
    void EnumeratePorts();

    [[nodiscard]] int ComPort() const { return m_comPort; }
    [[nodiscard]] int BaudRate() const { return m_baudRate; }
    [[nodiscard]] int ComPortIndex() const { return m_comPortIndex; }
    [[nodiscard]] int BaudRateIndex() const { return m_baudRateIndex; }
    // The device behind ComPort; the link is opened on this path.
    [[nodiscard]] QString devicePath() const { return m_devicePath; }

    [[nodiscard]] const QList<SerialCandidate> &foundPorts() const { return m_foundPorts; }
    [[nodiscard]] int FoundPortCount() const { return static_cast<int>(m_foundPorts.size()); }
    [[nodiscard]] bool isSearching() const { return m_searching; }

    // How long a probe waits for the answer.
    void setProbeWaitMsec(int msec) { m_probeWaitMsec = msec; }

    [[nodiscard]] QComboBox *Combo1() const { return m_combo1; }
    [[nodiscard]] QComboBox *Combo2() const { return m_combo2; }
    [[nodiscard]] QPushButton *cmdAutoConn() const { return m_autoConn; }
    [[nodiscard]] QProgressBar *ProgressBar1() const { return m_progress; }

    // The dialog's own port, used only by the search.
    QSerialPort MSComm1;

public slots:
    void cmdAutoConn_Click();
    void reject() override;

private:
    QLabel *addLabel(const QString &name, const QString &text);
    void selectStoredChoice(bool IsDirect);
    bool takeChoice(bool IsDirect);
    void setInputsEnabled(bool enabled);
    QString Probe();
    void waitWithoutFreezing(int msec);
    void closeProbePort();

    QSerialPort &m_enginePort;
    QComboBox *m_combo1;
    QComboBox *m_combo2;
    QPushButton *m_autoConn;
    QProgressBar *m_progress;
    QPushButton *m_ok;
    QPushButton *m_cancel;

    QList<SerialCandidate> m_foundPorts;
    int m_comPort = 1;
    int m_baudRate = 9600;
    int m_comPortIndex = 0;
    int m_baudRateIndex = 0;
    QString m_devicePath;
    bool m_okFlag = false;
    bool m_searching = false;
    bool m_enumerated = false;
    int m_probeWaitMsec = DefaultProbeWaitMsec;
};

} // namespace qle
