// The graph recorder's traces: clearing, new points, the rebuild from the
// working table, the axis choices and the statistics list.
#include "frmGraphicRecord.h"

#include "GraphFormat.h"
#include "GraphHost.h"
#include "GraphScales.h"
#include "GraphStatistics.h"
#include "GraphView.h"
#include "panels/Panel.h"
#include "platform/widgets/CWNumEdit.h"
#include "PlotCursors.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>
#include <QValueAxis>

#include <algorithm>
#include <vector>

namespace qle {
namespace {

constexpr double SecondsPerDay = 86400;

} // namespace

QString frmGraphicRecord::FormatTotalTime(qint64 seconds)
{
    return graph::FormatTotalTime(seconds);
}

int frmGraphicRecord::recordScale() const
{
    return m_loadedScale.value_or(m_host.recordScaleSetting());
}

void frmGraphicRecord::ClearGraph()
{
    resetGraph();
    refreshStatistics();
}

void frmGraphicRecord::resetGraph()
{
    lIdx = 0;
    CWGraph1->clearPoints();

    {
        const QSignalBlocker voltage(cmbYVoltage);
        const QSignalBlocker current(cmbYCurrent);
        cmbYVoltage->setCurrentIndex(0);
        cmbYCurrent->setCurrentIndex(0);
    }
    cmbYVoltage_Click();
    cmbYCurrent_Click();
    CWGraph1->voltageAxis()->setTitleText(QStringLiteral("Voltage"));

    iXTime = static_cast<qint16>(graph::timeSlice(recordScale()));
    CWGraph1->setTimeStep(iXTime / SecondsPerDay);

    {
        const QSignalBlocker blocker(cmbXLength);
        cmbXLength->clear();
        cmbXLength->addItems(graph::timeLengthEntries(iXTime));
        cmbXLength->setCurrentIndex(0);
    }
    cmbXLength_Click();

    XPosition->clear();
    YPosition->clear();
    AmplitudeVal->clear();
    applyChannelCount();
}

void frmGraphicRecord::ShowGraph(const RecordRow &row)
{
    // A reading that could not be read is a gap in its trace.
    for (int ch = 0; ch < channels(); ++ch) {
        const auto index = static_cast<std::size_t>(ch);
        CWGraph1->appendPoint(2 * ch, graph::plotValue(row.pval[index]));
        CWGraph1->appendPoint(2 * ch + 1, graph::plotValue(row.sval[index]));
    }
    showPlots();
    ++lIdx;
    scheduleStatistics();
}

void frmGraphicRecord::expectPoints(qint64 count)
{
    CWGraph1->reservePoints(2 * channels(), static_cast<qsizetype>(count));
}

void frmGraphicRecord::ReDraw()
{
    resetGraph();
    std::array<std::vector<double>, Plots> values;
    if (!m_store.workingValues(channels(), &values, &m_extremes)) {
        showSystemError(m_store.lastError());
        refreshStatistics();
        return;
    }
    lIdx = static_cast<qint32>(values[0].size());
    // Each trace gets all its values in one piece.
    for (int plot = 0; plot < Plots; ++plot)
        CWGraph1->setPoints(plot, std::move(values.at(static_cast<std::size_t>(plot))));
    showPlots();
    // The traces were replaced whole: nothing to wait for before drawing
    // them. The extremes came with the values.
    refreshStatistics();
    CWGraph1->redrawNow();
}

std::optional<GraphRecordStore::WholeRead> frmGraphicRecord::wholeReadFor(const QSqlDatabase &db)
{
    return m_store.wholeRead(db, &m_extremes);
}

void frmGraphicRecord::cmbXLength_Click()
{
    const auto lengths = graph::timeLengths(iXTime);
    const int entry = cmbXLength->currentIndex();
    if (entry < 0 || entry >= static_cast<int>(lengths.size()))
        return;
    const graph::TimeLength &length = lengths[static_cast<std::size_t>(entry)];
    CWGraph1->setTimeAxis(QString::fromLatin1(length.caption), QString::fromLatin1(length.labelFormat),
                          length.divisions);
    CWGraph1->setTimeRange(0, graph::rangeEndDays(length));
}

// A set-value field of the panel ("numVoltage", "numCurrent") of a channel,
// none when there is no panel.
const CWNumEdit *frmGraphicRecord::panelField(const char *field, int channel) const
{
    const Panel *panel = m_host.currentPanel();
    if (!panel)
        return nullptr;
    for (const CWNumEdit *edit : panel->findChildren<CWNumEdit *>(QString::fromLatin1(field)))
        if (edit->index() == channel)
            return edit;
    return nullptr;
}

// The panel's set-value limit of channel 1, 0 when there is no panel.
double frmGraphicRecord::panelMaximum(const char *field) const
{
    const CWNumEdit *edit = panelField(field, 0);
    return edit ? edit->Maximum() : 0;
}

// A value of a trace for the read-outs: the places of the channel's display
// pattern and one more, with the unit.
QString frmGraphicRecord::readout(int plot, double value) const
{
    constexpr int PlacesWithoutPanel = 3;
    const bool current = plot % 2 != 0;
    const CWNumEdit *edit = panelField(current ? "numCurrent" : "numVoltage", plot / 2);
    const int places = edit ? graph::patternDecimals(edit->FormatString()) : PlacesWithoutPanel;
    return graph::readoutText(value, places + 1, current ? QStringLiteral("A") : QStringLiteral("V"));
}

// "Default" scales the axis to the panel's limit, another entry to its number.
void frmGraphicRecord::setYRange(int plotParity, int entry)
{
    QComboBox *list = plotParity == 0 ? cmbYVoltage : cmbYCurrent;
    const double maximum = entry <= 0 ? panelMaximum(plotParity == 0 ? "numVoltage" : "numCurrent")
                                      : graph::leadingNumber(list->itemText(entry));
    if (plotParity == 0)
        CWGraph1->setVoltageRange(maximum);
    else
        CWGraph1->setCurrentRange(maximum);
}

void frmGraphicRecord::cmbYVoltage_Click()
{
    setYRange(0, cmbYVoltage->currentIndex());
}

void frmGraphicRecord::cmbYCurrent_Click()
{
    setYRange(1, cmbYCurrent->currentIndex());
}

void frmGraphicRecord::cmdRefresh_Click()
{
    cmbXLength_Click();
    cmbYVoltage_Click();
    cmbYCurrent_Click();
    FrameCursor->hide();
    cursors->hideFirst(2 * ContrlIdx + 2);
}

void frmGraphicRecord::scheduleStatistics()
{
    if (!m_statisticsTimer.isActive())
        m_statisticsTimer.start();
}

void frmGraphicRecord::refreshStatistics()
{
    m_statisticsTimer.stop();
    // Only rows appended since the last refresh are read here.
    m_extremes.update(m_db);
    const QStringList lines = graph::statisticsLines(m_extremes, channels(), iXTime, lIdx);
    lstWave->clear();
    lstWave->addItems(lines);
    for (const ChannelTotal &total : std::as_const(m_totals))
        lstWave->addItem(QStringLiteral("%1 %2 Ah, %3 Wh")
                             .arg(RecordEvent::channelLabel(total.channel))
                             .arg(total.chargeAh, 0, 'f', 4)
                             .arg(total.energyWh, 0, 'f', 4));
}

void frmGraphicRecord::showTimeline(const QList<RecordEvent> &events, const QList<ChannelTotal> &totals)
{
    QList<GraphMarks::Event> marks;
    marks.reserve(events.size());
    for (const RecordEvent &event : events)
        marks.append({static_cast<double>(event.atMs) / 86'400'000.0, event.line()});
    m_marks->setEvents(marks);
    m_events = events;
    m_totals = totals;
    scheduleStatistics();
}

void frmGraphicRecord::showLimits(const QList<GraphMarks::LimitLine> &limits)
{
    m_marks->setLimits(limits);
}

void frmGraphicRecord::updateNow()
{
    if (m_statisticsTimer.isActive())
        refreshStatistics();
    CWGraph1->redrawNow();
}

} // namespace qle
