#include "dlgLimits.h"

#include "platform/FormatPattern.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

namespace qle {
namespace {

constexpr std::array<LimitAction, 4> Actions{LimitAction::MarkOnly, LimitAction::StopRecording, LimitAction::OutputOff,
                                             LimitAction::StopSequence};

QString actionCaption(LimitAction action)
{
    switch (action) {
    case LimitAction::MarkOnly:
        return QStringLiteral("Mark only");
    case LimitAction::StopRecording:
        return QStringLiteral("Stop the recording");
    case LimitAction::OutputOff:
        return QStringLiteral("Switch the output off");
    case LimitAction::StopSequence:
        return QStringLiteral("Stop the sequence");
    }
    return {};
}

QString kindCaption(LimitKind kind)
{
    const QString quantity = ChannelLimits::quantity(kind);
    const QString side = ChannelLimits::isUpper(kind) ? QStringLiteral("above") : QStringLiteral("below");
    return quantity.left(1).toUpper() + quantity.mid(1) + ' ' + side + " [" + ChannelLimits::unit(kind) + ']';
}

} // namespace

dlgLimits::dlgLimits(QWidget *parent) : SettingsDialog(parent), cmbChannel(new QComboBox(this))
{
    setWindowTitle("Limits");
    cmbChannel->setObjectName("cmbChannel");
    addLabel(0, 0, "lblChannel", "Channel");
    fields()->addWidget(cmbChannel, 0, 1);
    for (int k = 0; k < LimitKindCount; ++k) {
        const auto kind = static_cast<LimitKind>(k);
        const int row = k + 1;
        addLabel(row, 0, "lbl" + ChannelLimits::kindName(kind), kindCaption(kind));
        auto *value = new QLineEdit(this);
        value->setObjectName("txt" + ChannelLimits::kindName(kind));
        value->setPlaceholderText("none");
        fields()->addWidget(value, row, 1);
        auto *action = new QComboBox(this);
        action->setObjectName("cmb" + ChannelLimits::kindName(kind));
        for (const LimitAction a : Actions)
            action->addItem(actionCaption(a));
        fields()->addWidget(action, row, 2);
        txtValue[static_cast<std::size_t>(k)] = value;
        cmbAction[static_cast<std::size_t>(k)] = action;
    }
    connect(cmbChannel, &QComboBox::currentIndexChanged, this, [this](int channel) {
        // A field that does not read keeps its channel shown.
        if (m_shown >= 0 && m_shown != channel) {
            if (QLineEdit *bad = takeChannel(m_shown)) {
                const QSignalBlocker block(cmbChannel);
                cmbChannel->setCurrentIndex(m_shown);
                bad->setFocus();
                bad->selectAll();
                return;
            }
        }
        showChannel(channel);
    });
    takesFirstFocus(txtValue[0]);
}

void dlgLimits::showChannel(int channel)
{
    m_shown = channel;
    if (channel < 0 || channel >= m_limits.size())
        return;
    const ChannelLimits &limits = m_limits.at(channel);
    for (int k = 0; k < LimitKindCount; ++k) {
        const std::optional<Limit> &limit = limits[static_cast<LimitKind>(k)];
        txtValue[static_cast<std::size_t>(k)]->setText(limit ? QString::number(limit->value, 'g', 12) : QString());
        const auto at = std::find(Actions.begin(), Actions.end(), limit ? limit->action : LimitAction::MarkOnly);
        cmbAction[static_cast<std::size_t>(k)]->setCurrentIndex(static_cast<int>(at - Actions.begin()));
    }
}

QLineEdit *dlgLimits::takeChannel(int channel)
{
    if (channel < 0 || channel >= m_limits.size())
        return nullptr;
    ChannelLimits taken;
    for (int k = 0; k < LimitKindCount; ++k) {
        QLineEdit *field = txtValue[static_cast<std::size_t>(k)];
        const QString text = field->text().trimmed();
        if (text.isEmpty())
            continue;
        bool ok = false;
        const double value = ReadNumber(text, &ok);
        if (!ok || value < 0)
            return field;
        const int action = cmbAction[static_cast<std::size_t>(k)]->currentIndex();
        taken[static_cast<LimitKind>(k)] = Limit{value, Actions.at(static_cast<std::size_t>(std::max(0, action)))};
    }
    m_limits[channel] = taken;
    return nullptr;
}

bool dlgLimits::Execute(const QString &model, int channels)
{
    m_limits.clear();
    m_shown = -1;
    {
        const QSignalBlocker block(cmbChannel);
        cmbChannel->clear();
        for (int ch = 0; ch < channels; ++ch) {
            m_limits.append(ChannelLimits::load(model, ch));
            cmbChannel->addItem(QStringLiteral("CH%1").arg(ch + 1));
        }
        cmbChannel->setCurrentIndex(0);
    }
    showChannel(0);
    while (runModal()) {
        if (QLineEdit *bad = takeChannel(m_shown)) {
            bad->setFocus();
            bad->selectAll();
            continue;
        }
        for (int ch = 0; ch < channels; ++ch)
            ChannelLimits::save(model, ch, m_limits.at(ch));
        return true;
    }
    return false;
}

} // namespace qle
