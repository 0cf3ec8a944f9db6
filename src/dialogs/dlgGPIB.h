#pragma once

#include "SettingsDialog.h"

class QComboBox;

namespace qle {

// The GPIB link: board number and instrument address, each picked from a list
// whose positions equal the numbers shown.
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

private:
    QComboBox *addList(int row, const QString &name, int max, const QString &labelName, const QString &labelText);

    QComboBox *m_cmbGPIBn;
    QComboBox *m_cmbAddress;
    int m_gpibn = 0;
    int m_address = 0;
};

} // namespace qle
