#pragma once

#include "recording/events/ChannelLimits.h"
#include "SettingsDialog.h"

#include <QList>

class QComboBox;
class QLineEdit;

namespace qle {

// Function > Limits...: per channel, lower and upper limits of voltage,
// current and power and upper totals of charge and energy, each with what
// happens when a reading crosses it. An empty value is no limit. Kept per
// model in the settings.
class dlgLimits final : public SettingsDialog {
    Q_OBJECT
public:
    explicit dlgLimits(QWidget *parent = nullptr);

    // Shows the limits of `model`'s `channels` channels; true with them saved
    // when OK closed it. A value that is not a number keeps the dialog open
    // with that field selected.
    bool Execute(const QString &model, int channels);
    [[nodiscard]] const QList<ChannelLimits> &limits() const { return m_limits; }

    QComboBox *cmbChannel;
    // One value field and one action list for each kind of limit.
    std::array<QLineEdit *, LimitKindCount> txtValue{};
    std::array<QComboBox *, LimitKindCount> cmbAction{};

private:
    void showChannel(int channel);
    // The fields into m_limits[channel]; the first field that does not read, if any.
    QLineEdit *takeChannel(int channel);

    QList<ChannelLimits> m_limits;
    int m_shown = -1;
};

} // namespace qle
