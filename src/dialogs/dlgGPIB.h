#pragma once

#include "SettingsDialog.h"

class QComboBox;
class QLineEdit;

namespace qle {

// The GPIB link: board number and instrument address, each picked from a list
// whose positions equal the numbers shown; below them the library or adapter
// that carries the bus, with the adapter's serial device or network host.
class dlgGPIB final : public SettingsDialog {
    Q_OBJECT
public:
    static constexpr int MaxBoard = 10;
    static constexpr int MaxAddress = 30;

    explicit dlgGPIB(QWidget *parent = nullptr);

    // IsDirect: take the stored values as if OK had been pressed, without
    // showing anything. True when confirmed; the values are then saved.
    bool Execute(bool IsDirect);
    void GetSettings();
    void SetSettings();

    [[nodiscard]] int GPIBn() const { return m_gpibn; }
    [[nodiscard]] int Address() const { return m_address; }

    [[nodiscard]] QComboBox *cmbGPIBn() const { return m_cmbGPIBn; }
    [[nodiscard]] QComboBox *cmbAddress() const { return m_cmbAddress; }
    [[nodiscard]] QComboBox *cmbBackend() const { return m_cmbBackend; }
    [[nodiscard]] QComboBox *cmbAdapterPort() const { return m_cmbAdapterPort; }
    [[nodiscard]] QLineEdit *txtAdapterHost() const { return m_txtAdapterHost; }

private:
    QComboBox *addList(int row, const QString &name, int max, const QString &labelName, const QString &labelText);
    void addLinkFields();
    void showLinkSettings();
    // Stores the backend and adapter fields that differ from what was shown.
    void takeLinkSettings();
    void enableAdapterFields();

    QComboBox *m_cmbGPIBn;
    QComboBox *m_cmbAddress;
    QComboBox *m_cmbBackend = nullptr;
    QComboBox *m_cmbAdapterPort = nullptr;
    QLineEdit *m_txtAdapterHost = nullptr;
    int m_gpibn = 0;
    int m_address = 0;
    int m_shownBackend = 0;
    QString m_shownPort;
    QString m_shownHost;
};

} // namespace qle
