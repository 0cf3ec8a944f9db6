// The graph recorder's window: its controls, their layout, the channel
// count, the colours and the first activation.
#include "frmGraphicRecord.h"

#include "ColorPicker.h"
#include "GraphHost.h"
#include "GraphScales.h"
#include "GraphView.h"
#include "ModeSlide.h"
#include "platform/Platform.h"
#include "platform/SettingsStore.h"
#include "PlotCursors.h"
#include "recording/table/dlgRecordLength.h"
#include "recording/table/frmDataTable.h"
#include "TraceMarker.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace qle {
namespace {

// The window's measures were laid out in twips, 15 to a pixel.
constexpr int twips(int value)
{
    return (value + 7) / 15;
}

constexpr int ChannelFrameWidth = 200;
constexpr int ButtonFrameHeight = 84;
constexpr int CursorFrameHeight = 70;
constexpr int OperationsFrameWidth = 250;
constexpr int StatisticsDelayMs = 100;

const char *const PlotCaptions[frmGraphicRecord::Plots] = {"Ch1 V", "Ch1 A", "Ch2 V", "Ch2 A", "Ch3 V", "Ch3 A"};
const char *const ColorKeys[3] = {"Ch1Color", "Ch2Color", "Ch3Color"};

// The main window of a graph shown on its own: nothing to command.
class NoGraphHost final : public IGraphHost {
public:
    [[nodiscard]] int mainFormState() const override { return 0; }
    [[nodiscard]] Panel *currentPanel() const override { return nullptr; }
    [[nodiscard]] frmGraphicRecord *graphWindow() const override { return nullptr; }
    [[nodiscard]] int recordScaleSetting() const override { return 0; }
    [[nodiscard]] bool recordMenuEnabled() const override { return false; }
    void recordStart() override {}
    void recordStop() override {}
    void recordPeriod() override {}
    void showControlPanel() override {}
    [[nodiscard]] QString machineType() const override { return {}; }
};

NoGraphHost s_noHost;

QPushButton *newButton(QWidget *parent, const char *name, const char *caption)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    return button;
}

QComboBox *newList(QWidget *parent, const char *name, const QStringList &entries)
{
    auto *list = new QComboBox(parent);
    list->setObjectName(name);
    list->addItems(entries);
    return list;
}

QLineEdit *newReadout(QWidget *parent, const char *name)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setReadOnly(true);
    return box;
}

} // namespace

frmGraphicRecord::frmGraphicRecord(QWidget *parent) : frmGraphicRecord(s_noHost, QSqlDatabase(), parent)
{
}

frmGraphicRecord::frmGraphicRecord(IGraphHost &host, const QSqlDatabase &db, QWidget *parent)
    : QWidget(parent), txtChannels(new QLineEdit(this)), CWGraph1(new GraphView(this)),
      m_marks(new GraphMarks(*CWGraph1)), cursors(new PlotCursors(*CWGraph1)), m_host(host), m_db(db), m_records(db),
      m_store(db)
{
    setObjectName("frmGraphicRecord");
    setWindowTitle("Graphic Record");
    txtChannels->setObjectName("txtChannels");
    txtChannels->hide();
    buildControls();
    connectControls();
    m_statisticsTimer.setSingleShot(true);
    m_statisticsTimer.setInterval(StatisticsDelayMs);
    connect(&m_statisticsTimer, &QTimer::timeout, this, &frmGraphicRecord::refreshStatistics);

    applyStoredColors();
    resize(900, 600);
    // Room for the button rows and the operations beside them, the channel
    // frame with its statistics list, and a graph of some height.
    constexpr int GraphMinimumHeight = 260;
    setMinimumSize(
        SSFrame1->width() + 4 + Frame1->width() + ChannelFrameWidth + twips(150),
        std::max(FrameChannel->minimumSizeHint().height(), GraphMinimumHeight + ButtonFrameHeight + twips(400)));
    placeControls();
    lstWave->clear();
    bLoaded = false;
    ClearGraph();
}

frmGraphicRecord::~frmGraphicRecord() = default;

void frmGraphicRecord::buildControls()
{
    buildChannelFrame();
    buildButtonFrame();
    buildCursorFrame();

    for (QListWidget **list : {&List1, &List2}) {
        *list = new QListWidget(this);
        (*list)->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        (*list)->hide();
    }
    List1->setObjectName("List1");
    List2->setObjectName("List2");
}

void frmGraphicRecord::buildChannelFrame()
{
    FrameChannel = new QFrame(this);
    FrameChannel->setObjectName("FrameChannel");
    FrameChannel->setFrameShape(QFrame::StyledPanel);
    FrameChannel->setFixedWidth(ChannelFrameWidth);
    auto *plots = new QGridLayout;
    for (int i = 0; i < Plots; ++i) {
        auto &box = cbPlot[static_cast<std::size_t>(i)];
        box = new QCheckBox(PlotCaptions[i], FrameChannel);
        box->setObjectName(QStringLiteral("cbPlot%1").arg(i));
        box->setChecked(true);
        auto &marker = Line[static_cast<std::size_t>(i)];
        marker = new TraceMarker(GraphView::lineStyle(i), FrameChannel);
        marker->setObjectName(QStringLiteral("Line%1").arg(i + 1));
        marker->setFixedSize(36, 6);
        plots->addWidget(box, i, 0);
        plots->addWidget(marker, i, 1);
    }

    cmbXLength = newList(FrameChannel, "cmbXLength", {});
    cmbYVoltage = newList(FrameChannel, "cmbYVoltage", graph::voltageRanges());
    cmbYCurrent = newList(FrameChannel, "cmbYCurrent", graph::currentRanges());
    auto *axes = new QGridLayout;
    const auto label = [this](const char *text) { return new QLabel(text, FrameChannel); };
    axes->addWidget(label("Time Len"), 0, 0);
    axes->addWidget(cmbXLength, 0, 1);
    axes->addWidget(label("Voltage"), 1, 0);
    axes->addWidget(cmbYVoltage, 1, 1);
    axes->addWidget(label("Current"), 2, 0);
    axes->addWidget(cmbYCurrent, 2, 1);

    lstWave = new QListWidget(FrameChannel);
    lstWave->setObjectName("lstWave");
    lstWave->setSelectionMode(QAbstractItemView::NoSelection);

    auto *column = new QVBoxLayout(FrameChannel);
    column->setContentsMargins(6, 6, 6, 6);
    column->addLayout(plots);
    column->addLayout(axes);
    column->addWidget(lstWave, 1);
}

void frmGraphicRecord::buildButtonFrame()
{
    SSFrame1 = new QFrame(this);
    SSFrame1->setObjectName("SSFrame1");
    SSFrame1->setFrameShape(QFrame::StyledPanel);
    cmdStart = newButton(SSFrame1, "cmdStart", "Start");
    cmdStop = newButton(SSFrame1, "cmdStop", "Stop");
    cmdPeriod = newButton(SSFrame1, "cmdPeriod", "Setup");
    cmdRefresh = newButton(SSFrame1, "cmdRefresh", "Refresh");
    cmdReturn = newButton(SSFrame1, "cmdReturn", "Return");
    cmdSave = newButton(SSFrame1, "cmdSave", "Save");
    cmdLoad = newButton(SSFrame1, "cmdLoad", "Load");
    cmdDel = newButton(SSFrame1, "cmdDel", "Delete");
    cmdExport = newButton(SSFrame1, "cmdExport", "Export");
    cmdPrint = newButton(SSFrame1, "cmdPrint", "Print");
    cmdImage = newButton(SSFrame1, "cmdImage", "Image...");
    cmdImage->setToolTip("Save the graph as a PNG, SVG or PDF file");
    auto *grid = new QGridLayout(SSFrame1);
    grid->setContentsMargins(4, 4, 4, 4);
    QPushButton *const order[] = {cmdStart, cmdStop, cmdPeriod, cmdRefresh, cmdReturn,
                                  cmdSave,  cmdLoad, cmdDel,    cmdExport,  cmdPrint};
    for (int i = 0; i < 10; ++i)
        grid->addWidget(order[i], i / 5, i % 5);
    grid->addWidget(cmdImage, 1, 5);
    SSFrame1->setFixedHeight(ButtonFrameHeight);
    SSFrame1->resize(SSFrame1->sizeHint().width(), ButtonFrameHeight);

    Frame1 = new QGroupBox("Graph Operations", this);
    Frame1->setObjectName("Frame1");
    GraphMode = new ModeSlide({"Zoom", "Pan", "Cursor Coordinates", "Cursor Measurements"}, Frame1);
    GraphMode->setObjectName("GraphMode");
    lstChannel = new QListWidget(Frame1);
    lstChannel->setObjectName("lstChannel");
    auto *operations = new QHBoxLayout(Frame1);
    operations->setContentsMargins(4, 0, 4, 2);
    operations->addWidget(GraphMode);
    operations->addWidget(lstChannel, 1);
    Frame1->resize(OperationsFrameWidth, ButtonFrameHeight);
}

// The cursor read-outs stay hidden until a cursor mode shows them.
void frmGraphicRecord::buildCursorFrame()
{
    FrameCursor = new QGroupBox("Cursor Information", this);
    FrameCursor->setObjectName("FrameCursor");
    XPosition = newReadout(FrameCursor, "XPosition");
    YPosition = newReadout(FrameCursor, "YPosition");
    auto *measurements = new QGroupBox("Measurements", FrameCursor);
    measurements->setObjectName("FrameMeasurements");
    PeriodVal = newReadout(measurements, "PeriodVal");
    AmplitudeVal = newReadout(measurements, "AmplitudeVal");
    // Fixed places: the narrow width cuts the measurements off.
    constexpr int Top = 18;
    constexpr int Row = 24;
    constexpr int LabelWidth = 70;
    const auto place = [](QWidget *label, QLineEdit *box, int x, int y, int boxWidth) {
        label->setGeometry(x, y, LabelWidth, Row - 2);
        box->setGeometry(x + LabelWidth, y, boxWidth, Row - 2);
    };
    place(new QLabel("X Position:", FrameCursor), XPosition, 6, Top, CursorFrameNarrow - LabelWidth - 12);
    place(new QLabel("Y Position:", FrameCursor), YPosition, 6, Top + Row, CursorFrameNarrow - LabelWidth - 12);
    const int measuredWidth = CursorFrameWide - CursorFrameNarrow - 6;
    measurements->setGeometry(CursorFrameNarrow, 2, measuredWidth, CursorFrameHeight - 6);
    place(new QLabel("Period:", measurements), PeriodVal, 4, Top - 2, measuredWidth - LabelWidth - 8);
    place(new QLabel("Amplitude:", measurements), AmplitudeVal, 4, Top - 2 + Row, measuredWidth - LabelWidth - 8);
    // Over the graph: not see-through.
    FrameCursor->setAutoFillBackground(true);
    FrameCursor->resize(CursorFrameNarrow, CursorFrameHeight);
    FrameCursor->hide();
}

void frmGraphicRecord::connectControls()
{
    connect(txtChannels, &QLineEdit::textChanged, this, &frmGraphicRecord::txtChannels_Change);
    for (int i = 0; i < Plots; ++i)
        connect(cbPlot[static_cast<std::size_t>(i)], &QCheckBox::clicked, this, [this, i] { cbPlot_Click(i); });
    connect(cmbXLength, &QComboBox::currentIndexChanged, this, &frmGraphicRecord::cmbXLength_Click);
    connect(cmbYVoltage, &QComboBox::currentIndexChanged, this, &frmGraphicRecord::cmbYVoltage_Click);
    connect(cmbYCurrent, &QComboBox::currentIndexChanged, this, &frmGraphicRecord::cmbYCurrent_Click);
    connect(cmdStart, &QPushButton::clicked, this, &frmGraphicRecord::cmdStart_Click);
    connect(cmdStop, &QPushButton::clicked, this, &frmGraphicRecord::cmdStop_Click);
    connect(cmdPeriod, &QPushButton::clicked, this, &frmGraphicRecord::cmdPeriod_Click);
    connect(cmdRefresh, &QPushButton::clicked, this, &frmGraphicRecord::cmdRefresh_Click);
    connect(cmdReturn, &QPushButton::clicked, this, &frmGraphicRecord::cmdReturn_Click);
    connect(cmdSave, &QPushButton::clicked, this, &frmGraphicRecord::cmdSave_Click);
    connect(cmdLoad, &QPushButton::clicked, this, &frmGraphicRecord::cmdLoad_Click);
    connect(cmdDel, &QPushButton::clicked, this, &frmGraphicRecord::cmdDel_Click);
    connect(cmdExport, &QPushButton::clicked, this, &frmGraphicRecord::cmdExport_Click);
    connect(cmdPrint, &QPushButton::clicked, this, &frmGraphicRecord::cmdPrint_Click);
    connect(cmdImage, &QPushButton::clicked, this, &frmGraphicRecord::cmdImage_Click);
    connect(GraphMode, &ModeSlide::pointerValueChanged, this, &frmGraphicRecord::GraphMode_PointerValueChanged);
    connect(lstChannel, &QListWidget::currentRowChanged, this, &frmGraphicRecord::lstChannel_Click);
    connect(lstChannel, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { lstChannel_Click(lstChannel->row(item)); });
    connect(cursors, &PlotCursors::cursorMoved, this, &frmGraphicRecord::CWGraph1_CursorChange);
    connect(CWGraph1->chart(), &QChart::plotAreaChanged, this, &frmGraphicRecord::placeCursorFrame);
    connect(List1, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) { List1_Click(List1->row(item)); });
    connect(List2, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) { List2_Click(List2->row(item)); });
}

void frmGraphicRecord::setTableRecorder(frmDataTable *table)
{
    if (m_table)
        disconnect(m_table, nullptr, this, nullptr);
    m_table = table;
    if (!table)
        return;
    connect(table, &frmDataTable::recordingStarted, this, &frmGraphicRecord::onRecordingStarted);
    connect(table, &frmDataTable::recordingStopped, this, &frmGraphicRecord::onRecordingStopped);
    connect(table, &frmDataTable::recordLoaded, this,
            [this] { showLoadedRecord(m_table ? m_table->txtRecno->text().trimmed() : QString()); });
}

// Graph width = window width - (FrameChannel width + 150 twips); graph
// height = window height - (SSFrame1 height + 400 twips); the frames below
// the graph start at its bottom, the record lists cover it.
void frmGraphicRecord::placeControls()
{
    const int graphWidth = std::max(0, width() - (FrameChannel->width() + twips(150)));
    const int graphHeight = std::max(0, height() - (SSFrame1->height() + twips(400)));
    const QRect graph(0, 0, graphWidth, graphHeight);
    CWGraph1->setGeometry(graph);
    List1->setGeometry(graph);
    List2->setGeometry(graph);
    FrameChannel->setGeometry(graphWidth, 0, FrameChannel->width(), height());
    SSFrame1->move(0, graphHeight);
    Frame1->setGeometry(SSFrame1->geometry().right() + 4, graphHeight, Frame1->width(), SSFrame1->height());
    placeCursorFrame();
}

void frmGraphicRecord::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeControls();
}

// The first activation prepares an empty graph for the current settings;
// points that arrived before the window was first shown stay.
void frmGraphicRecord::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!bLoaded) {
        if (lIdx == 0)
            ClearGraph();
        bLoaded = true;
        applyStoredColors();
    }
    refreshStatistics();
}

void frmGraphicRecord::txtChannels_Change()
{
    applyChannelCount();
    refreshStatistics();
}

void frmGraphicRecord::applyChannelCount()
{
    const QString text = txtChannels->text();
    int enabled = 2;
    if (text == QLatin1String("2"))
        enabled = 4;
    else if (text == QLatin1String("3"))
        enabled = 6;
    const bool known = text == QLatin1String("1") || enabled > 2;
    for (int i = 0; i < Plots; ++i) {
        // Text other than a channel count enables the first channel and leaves the others.
        if (known || i < 2)
            cbPlot[static_cast<std::size_t>(i)]->setEnabled(i < enabled);
    }
    ContrlIdx = static_cast<qint16>(enabled / 2 - 1);
    showPlots();
    lstChannel->clear();
    const char *const entries[] = {"CH1 Vol", "CH1 Cur", "CH2 Vol", "CH2 Cur", "CH3 Vol", "CH3 Cur"};
    for (int i = 0; i < 2 * channels(); ++i)
        lstChannel->addItem(entries[i]);
}

// A plot shows when its channel is shown and its box is checked.
void frmGraphicRecord::showPlots()
{
    for (int i = 0; i < Plots; ++i)
        CWGraph1->setPlotVisible(i, i / 2 < channels() && cbPlot[static_cast<std::size_t>(i)]->isChecked());
}

void frmGraphicRecord::cbPlot_Click(int index)
{
    if (index < 0 || index >= Plots)
        return;
    CWGraph1->setPlotVisible(index, cbPlot[static_cast<std::size_t>(index)]->isChecked());
}

void frmGraphicRecord::setChannelColor(int channel, const QColor &color)
{
    for (int i = 2 * channel; i < 2 * channel + 2; ++i) {
        CWGraph1->setPlotColor(i, color);
        cursors->setColor(i + 1, color);
        QFrame *marker = Line[static_cast<std::size_t>(i)];
        QPalette palette = marker->palette();
        palette.setColor(QPalette::Window, color);
        marker->setPalette(palette);
    }
}

void frmGraphicRecord::ChangeCursorColor(const QString &ch1, const QString &ch2, const QString &ch3)
{
    const QString texts[3] = {ch1, ch2, ch3};
    for (int ch = 0; ch < 3; ++ch)
        setChannelColor(ch, colorFromDecimal(texts[ch]));
}

// The stored channel colours, or the record settings' defaults, for the
// traces and their markers alike.
void frmGraphicRecord::applyStoredColors()
{
    for (int ch = 0; ch < 3; ++ch) {
        const QString stored =
            platform::settings().GetSetting(dlgRecordLength::Section, ColorKeys[ch], QString()).trimmed();
        const QString text =
            stored.isEmpty() ? QString::number(dlgRecordLength::DefaultColors[static_cast<std::size_t>(ch)]) : stored;
        setChannelColor(ch, colorFromDecimal(text));
    }
}

int frmGraphicRecord::xLengthIndex() const
{
    return std::max(0, cmbXLength->currentIndex());
}

} // namespace qle
