#include "dlgPolling.h"

#include "platform/Platform.h"
#include "platform/SettingsStore.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>

namespace qle {
namespace {

const QString Section = QStringLiteral("Polling");

} // namespace

QString PollingChoice::periodText(int ms)
{
    return QString::number(ms / 1000.0, 'g', 3) + QStringLiteral(" s");
}

const QList<int> &PollingChoice::periods()
{
    static const QList<int> list{250, 500, 1000, 2000};
    return list;
}

PollingChoice PollingChoice::load()
{
    const ISettingsStore &store = platform::settings();
    PollingChoice choice;
    choice.live = store.GetSetting(Section, QStringLiteral("Mode"), QStringLiteral("Classic")) == QLatin1String("Live");
    const int period = store.GetInt(Section, QStringLiteral("PeriodMs"), DefaultPeriodMs, 0, 60000);
    choice.periodMs = periods().contains(period) ? period : DefaultPeriodMs;
    return choice;
}

void PollingChoice::save() const
{
    ISettingsStore &store = platform::settings();
    store.SaveSetting(Section, QStringLiteral("Mode"), live ? QStringLiteral("Live") : QStringLiteral("Classic"));
    store.SaveInt(Section, QStringLiteral("PeriodMs"), periodMs);
}

dlgPolling::dlgPolling(QWidget *parent)
    : SettingsDialog(parent), m_mode(new QComboBox(this)), m_period(new QComboBox(this)), m_linkNote(new QLabel(this))
{
    setWindowTitle("Polling");
    m_mode->setObjectName("cmbMode");
    m_period->setObjectName("cmbPeriod");
    m_mode->addItem("Classic (one reading every 3 s while the output is on)");
    m_mode->addItem("Live (all readings and the instrument's state every period)");
    for (int ms : PollingChoice::periods())
        m_period->addItem(PollingChoice::periodText(ms), ms);
    addLabel(0, 0, "lblMode", "Mode");
    fields()->addWidget(m_mode, 0, 1);
    addLabel(1, 0, "lblPeriod", "Live period");
    fields()->addWidget(m_period, 1, 1);
    m_linkNote->setObjectName("lblLinkNote");
    m_linkNote->setWordWrap(true);
    fields()->addWidget(m_linkNote, 2, 1);
    connect(m_mode, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_period->setEnabled(index == 1);
        showLinkNote();
    });
    connect(m_period, &QComboBox::currentIndexChanged, this, [this] { showLinkNote(); });
    takesFirstFocus(m_mode);
}

void dlgPolling::showLinkNote()
{
    const int period = m_period->currentData().toInt();
    const int every = m_readingPeriod && m_mode->currentIndex() == 1 ? m_readingPeriod(period) : period;
    m_linkNote->setText(every > period ? "Live: readings every " + PollingChoice::periodText(every) + " on this link"
                                       : QString());
}

bool dlgPolling::Execute(const PollingChoice &current, PollingChoice &chosen, ReadingPeriod readingPeriod)
{
    m_readingPeriod = std::move(readingPeriod);
    m_mode->setCurrentIndex(current.live ? 1 : 0);
    m_period->setEnabled(current.live);
    m_period->setCurrentIndex(std::max(0, static_cast<int>(PollingChoice::periods().indexOf(current.periodMs))));
    showLinkNote();
    if (!runModal())
        return false;
    chosen.live = m_mode->currentIndex() == 1;
    chosen.periodMs = m_period->currentData().toInt();
    chosen.save();
    return true;
}

} // namespace qle
