#pragma once

#include "GraphMarks.h"
#include "GraphRecordStore.h"
#include "GraphStatistics.h"
#include "recording/database/RecordDatabase.h"
#include "recording/database/RecordRow.h"
#include "recording/events/RecordEvent.h"
#include "recording/export/PrintGraph.h"

#include <QList>
#include <QPointer>
#include <QSqlDatabase>
#include <QTimer>
#include <QWidget>

#include <array>
#include <optional>

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace qle {

class CWNumEdit;
class GraphView;
class IGraphHost;
class ModeSlide;
class PlotCursors;
class frmDataTable;

// The graph recorder, "Graphic Record": the recording as voltage and current
// traces of up to three channels over elapsed time, with its statistics, the
// axis choices, the record buttons that forward to the main window, save,
// load and delete of records, and export and print.
//
// Plots are numbered 1..6 as the check boxes cbPlot(0..5) show them: channel
// 1 voltage, channel 1 current, channel 2 voltage, and so on.
class frmGraphicRecord final : public QWidget {
    Q_OBJECT
public:
    static constexpr int Plots = 6;
    // The read-out frame's widths (3195 and 5715 twips): the coordinates
    // alone, or the measurements beside them.
    static constexpr int CursorFrameNarrow = (3195 + 7) / 15;
    static constexpr int CursorFrameWide = (5715 + 7) / 15;

    // The window of a connection: the main window's record commands and
    // panel, and the record file.
    frmGraphicRecord(IGraphHost &host, const QSqlDatabase &db, QWidget *parent = nullptr);
    // A graph alone, showing what ShowGraph hands it: no main window, no
    // record file (no statistics from the table, record buttons inert).
    explicit frmGraphicRecord(QWidget *parent = nullptr);
    ~frmGraphicRecord() override;

    // The table recorder of the same connection: its recording start, stop
    // and loaded records drive this window, and its record fields are the
    // ones this window's Save and Load use.
    void setTableRecorder(frmDataTable *table);

    // Empties the graph and takes the time slice of the record settings.
    void ClearGraph();
    // Appends one point per channel shown, from a row the table recorder wrote.
    void ShowGraph(const qle::RecordRow &row);
    // A recording of about `count` rows begins: its traces get their room at once.
    void expectPoints(qint64 count);
    // Rebuilds every trace from the working table.
    void ReDraw();
    // Draws unsaved rows kept from an earlier recording at the sample
    // interval they were recorded with.
    void showKeptRows(int scale);
    // A reader of every working row of `db` in SeqNo order (the table
    // recorder filling its grid) hands the rows over here as well, so that
    // the next ReDraw need not read them again; nothing for another
    // connection.
    [[nodiscard]] std::optional<GraphRecordStore::WholeRead> wholeReadFor(const QSqlDatabase &db);
    // New channel colours, each a decimal 0x00BBGGRR colour number.
    void ChangeCursorColor(const QString &ch1, const QString &ch2, const QString &ch3);
    // Whole seconds as "h:m:s" or "dD h:m:s".
    [[nodiscard]] static QString FormatTotalTime(qint64 seconds);

    // Position in the time-length list, stored with a saved record.
    [[nodiscard]] int xLengthIndex() const;

    // Runs what the coalescing timers hold back: the redraw of the traces and
    // the refresh of the statistics list.
    void updateNow();

    // Controls, as the user works them.
    void txtChannels_Change();
    void cbPlot_Click(int index);
    void cmbXLength_Click();
    void cmbYVoltage_Click();
    void cmbYCurrent_Click();
    void cmdStart_Click();
    void cmdStop_Click();
    void cmdPeriod_Click();
    void cmdRefresh_Click();
    void cmdReturn_Click();
    void cmdSave_Click();
    void cmdLoad_Click();
    void List1_Click(int line);
    void cmdDel_Click();
    void List2_Click(int line);
    void cmdExport_Click();
    void cmdPrint_Click();
    // Saves the graph as a picture: PNG, SVG or PDF, at a size the user chooses.
    void cmdImage_Click();
    // The mouse's part on the graph: 0 "Zoom", 1 "Pan", 2 "Cursor
    // Coordinates", 3 "Cursor Measurements".
    void GraphMode_PointerValueChanged(int value);
    // Shows one trace alone with its cursor (list position p: trace p + 1).
    void lstChannel_Click(int position);
    // A cursor was dragged: its read-outs, the table row at its time, and in
    // the measurement mode the distance to the reference cursor.
    void CWGraph1_CursorChange(int cursor);

    [[nodiscard]] QSqlDatabase database() const { return m_db; }

    // The recording's events as marks on the graph, and each channel's
    // charge and energy under the statistics.
    void showTimeline(const QList<RecordEvent> &events, const QList<ChannelTotal> &totals);
    // Dashed lines at the voltage and current limits.
    void showLimits(const QList<GraphMarks::LimitLine> &limits);
    [[nodiscard]] GraphMarks &marks() { return *m_marks; }
    // Where Export puts the events beside `csvPath`: "run.csv" gives "run-events.csv".
    [[nodiscard]] static QString eventsCsvPath(const QString &csvPath);

    qint32 lIdx = 0;      // points on the graph since the last clear
    qint16 iXTime = 1;    // seconds between two points
    qint16 ContrlIdx = 0; // channels shown minus one
    bool bLoaded = false; // prepared by the first activation

    QLineEdit *txtChannels; // hidden: the channel count as text, "1" to "3"
    GraphView *CWGraph1;
    GraphMarks *m_marks;
    QList<ChannelTotal> m_totals;
    QList<RecordEvent> m_events;
    PlotCursors *cursors;
    std::array<QCheckBox *, Plots> cbPlot{};
    std::array<QFrame *, Plots> Line{}; // colour markers Line1..Line6
    QComboBox *cmbXLength;
    QComboBox *cmbYVoltage;
    QComboBox *cmbYCurrent;
    QListWidget *lstWave;    // statistics
    ModeSlide *GraphMode;    // in "Graph Operations"
    QListWidget *lstChannel; // channel choice of the cursor modes
    QPushButton *cmdStart;
    QPushButton *cmdStop;
    QPushButton *cmdPeriod;
    QPushButton *cmdRefresh;
    QPushButton *cmdReturn;
    QPushButton *cmdSave;
    QPushButton *cmdLoad;
    QPushButton *cmdDel;
    QPushButton *cmdExport;
    QPushButton *cmdPrint;
    QPushButton *cmdImage;
    QListWidget *List1; // records to load, over the graph
    QListWidget *List2; // records to delete, over the graph
    QFrame *FrameChannel;
    QFrame *SSFrame1;
    QGroupBox *Frame1;      // "Graph Operations"
    QGroupBox *FrameCursor; // "Cursor Information"
    QLineEdit *XPosition;
    QLineEdit *YPosition;
    QLineEdit *PeriodVal;
    QLineEdit *AmplitudeVal;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildControls();
    void buildChannelFrame();
    void buildButtonFrame();
    void buildCursorFrame();
    void placeControls();
    void placeCursorFrame();
    [[nodiscard]] int channelCursors() const { return 2 * ContrlIdx + 2; }
    // Puts a channel cursor at the middle of the visible times and of its
    // trace's value axis.
    void placeAtMiddle(int cursor);
    // ClearGraph without the statistics.
    void resetGraph();
    void applyChannelCount();
    void connectControls();
    void applyStoredColors();
    void setChannelColor(int channel, const QColor &color);
    void refreshStatistics();
    [[nodiscard]] PrintSheet printSheet() const;
    [[nodiscard]] QString dataFolder() const;
    void scheduleStatistics();
    [[nodiscard]] int channels() const { return ContrlIdx + 1; }
    [[nodiscard]] int recordScale() const;
    [[nodiscard]] const CWNumEdit *panelField(const char *field, int channel) const;
    [[nodiscard]] double panelMaximum(const char *field) const;
    [[nodiscard]] QString readout(int plot, double value) const;
    void setYRange(int plotParity, int entry);
    void showPlots();
    void onRecordingStarted();
    void onRecordingStopped();
    void showLoadedRecord(const QString &recNo);
    void fillRecordList(QListWidget *list);
    [[nodiscard]] bool isRecording() const;
    void showSystemError(const QSqlError &error);
    void showInformation(const QString &text);

    IGraphHost &m_host;
    QSqlDatabase m_db;
    RecordDatabase m_records;
    GraphRecordStore m_store;
    graph::WorkingExtremes m_extremes; // of the working table, for the statistics list
    QPointer<frmDataTable> m_table;
    // The sample interval of a loaded record, until the next recording or Setup.
    std::optional<int> m_loadedScale;
    QTimer m_statisticsTimer;
};

} // namespace qle
