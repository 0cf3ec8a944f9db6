#pragma once

#include <QColor>
#include <QDialog>
#include <QString>

#include <array>

class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;

namespace qle {

// The record settings: how long a recording runs, its sample interval, how
// the readings of one interval become one stored point, and the drawing
// colour of each channel. Kept in the settings section "RECORDPERIOD".
class dlgRecordLength final : public QDialog {
    Q_OBJECT
public:
    static constexpr const char *Section = "RECORDPERIOD";
    // The swatches' fill when no colour is stored: green, blue, purple.
    static constexpr std::array<int, 3> DefaultColors{49152, 12582912, 8388736};
    // Entries a list shows at once when opened.
    static constexpr int MaxVisibleEntries = 12;

    explicit dlgRecordLength(QWidget *parent = nullptr);

    // Shows the dialog with the stored values; true when the user confirmed
    // with OK, the new values are then in the members and saved.
    bool Execute();
    // The dialog's warning when `days` is more than the sample interval at
    // `scalePosition` allows; empty when it is not.
    [[nodiscard]] static QString lengthRefusal(int days, int scalePosition);
    void GetSettings();
    void SetSettings();

    // The colour texts as the boxes show them.
    [[nodiscard]] QString txtCh1Color() const;
    [[nodiscard]] QString txtCh2Color() const;
    [[nodiscard]] QString txtCh3Color() const;
    [[nodiscard]] QColor swatchColor(int channel) const;

    int Days = 0;
    int Hours = 0;
    int Miniutes = 0;
    int Seconds = 0;       // seconds, a multiple of 5
    int RecScale = 0;      // sample-interval position
    int RecPointStyle = 0; // 0 maximum, 1 minimum, 2 average
    QString Ch1Color;
    QString Ch2Color;
    QString Ch3Color;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void OKButton_Click();
    void CancelButton_Click();
    void cmdScale_Click();
    void pickColor(int channel);
    void setSwatch(int channel, const QColor &color);
    [[nodiscard]] QString &colorMember(int channel);
    QComboBox *addList(QGridLayout *grid, int row, const QString &name, const QString &label,
                       const QStringList &entries);

    QComboBox *m_days;
    QComboBox *m_hours;
    QComboBox *m_minutes;
    QComboBox *m_seconds;
    QComboBox *m_scale;
    QComboBox *m_operation;
    std::array<QLineEdit *, 3> m_colorText{};
    std::array<QLabel *, 3> m_swatch{};
    bool m_result = false;
};

} // namespace qle
