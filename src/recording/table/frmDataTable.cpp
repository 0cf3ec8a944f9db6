// The table recorder's window: its controls, grid and layout.
#include "frmDataTable.h"

#include "recording/database/RecordTime.h"
#include "RecordTableModel.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace qle {
namespace {

// The window's measures were laid out in twips, 15 to a pixel.
constexpr int twips(int value)
{
    return (value + 7) / 15;
}

constexpr int StripHeight = twips(1200);
constexpr int GridMargin = twips(260);

QLineEdit *newBox(QWidget *parent, const char *name, int width)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setFixedWidth(width);
    return box;
}

QPushButton *newButton(QWidget *parent, const char *name, const char *caption)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    return button;
}

} // namespace

frmDataTable::frmDataTable(IRecorderHost &host, QSqlDatabase db, QWidget *parent)
    : QWidget(parent), m_host(host), m_records(std::move(db)), m_model(new RecordTableModel(this)),
      m_strip(new QWidget(this))
{
    setObjectName("frmDataTable");
    setWindowTitle("Data Table");
    buildControls();
    TimerRecordData.setInterval(1000);
    connect(&TimerRecordData, &QTimer::timeout, this, &frmDataTable::TimerRecordData_Timer);
    rebuildHeader();
    resize(800, 500);
    placeControls();
}

// Every control of the strip and a few rows of the grid.
void frmDataTable::updateMinimumSize()
{
    constexpr int GridRows = 6;
    const int rowHeight = grdHelQuest->verticalHeader()->defaultSectionSize();
    const int gridHeight = grdHelQuest->horizontalHeader()->sizeHint().height() + GridRows * rowHeight +
                           2 * grdHelQuest->frameWidth() + grdHelQuest->horizontalScrollBar()->sizeHint().height();
    setMinimumSize(std::max(m_strip->minimumSizeHint().width(), GridMargin + 200), stripHeight() + gridHeight);
}

void frmDataTable::showEvents(const QList<RecordEvent> &events)
{
    const bool hadEvents = lstEvents->count() > 0;
    lstEvents->clear();
    for (const RecordEvent &event : events)
        lstEvents->addItem(event.line());
    lstEvents->scrollToBottom();
    if (hadEvents != (lstEvents->count() > 0))
        placeControls();
}

void frmDataTable::addEvent(const RecordEvent &event)
{
    lstEvents->addItem(event.line());
    lstEvents->scrollToBottom();
    if (lstEvents->count() == 1)
        placeControls();
}

int frmDataTable::stripHeight() const
{
    return std::max(StripHeight, m_strip->minimumSizeHint().height());
}

frmDataTable::~frmDataTable() = default;

void frmDataTable::buildControls()
{
    txtRecno = newBox(m_strip, "txtRecno", 60);
    // Filled by Save and Load only: a typed number would replace a record that does not exist.
    txtRecno->setReadOnly(true);
    txtStartTime = newBox(m_strip, "txtStartTime", 140);
    txtEndTime = newBox(m_strip, "txtEndTime", 140);
    txtDataDesc = newBox(m_strip, "txtDataDesc", 200);
    cmdSave = newButton(m_strip, "cmdSave", "Save");
    cmdLoadRecord = newButton(m_strip, "cmdLoadRecord", "Load");
    cmdClear = newButton(m_strip, "cmdClear", "Clear");
    cmdGenerate = newButton(m_strip, "cmdGenerate", "Generate");
    cmdGenerateMin = newButton(m_strip, "cmdGenerateMin", "Generate");
    cmdMark = new QPushButton("Mark...", this);
    cmdMark->setObjectName("cmdMark");
    cmdMark->setToolTip("A note on the recording's timeline (Ctrl+M)");
    connect(cmdMark, &QPushButton::clicked, this, &frmDataTable::markRequested);
    lstEvents = new QListWidget(this);
    lstEvents->setObjectName("lstEvents");
    lstEvents->setWordWrap(true);
    // Test-data tools of the record tables, not offered to the user.
    cmdGenerate->hide();
    cmdGenerateMin->hide();

    CmbSample = new QComboBox(m_strip);
    CmbSample->setObjectName("CmbSample");
    CmbSample->addItems(
        {"全部", "Time", "超過上限", "超過下限", "符合條件: 固定準位 (相對於讀值)", "符合條件: 百分比 (相對於讀值)"});
    CmbSample->setCurrentIndex(0);
    txtCh1V = newBox(m_strip, "txtCh1V", 60);
    txtCh1A = newBox(m_strip, "txtCh1A", 60);
    txtCh2V = newBox(m_strip, "txtCh2V", 60);
    txtCh2A = newBox(m_strip, "txtCh2A", 60);
    txtCh3V = newBox(m_strip, "txtCh3V", 60);
    txtCh3A = newBox(m_strip, "txtCh3A", 60);
    m_boxV = {txtCh1V, txtCh2V, txtCh3V};
    m_boxA = {txtCh1A, txtCh2A, txtCh3A};
    for (QLineEdit *box : {txtCh1V, txtCh1A, txtCh2V, txtCh2A, txtCh3V, txtCh3A}) {
        box->setReadOnly(true);
        box->setText("0");
    }
    txtTick = newBox(m_strip, "txtTick", 50);
    txtTick->setReadOnly(true);
    txtTime = newBox(m_strip, "txtTime", 140);
    txtTime->setReadOnly(true);

    // Two rows, so the record boxes stay readable in a window as narrow as a panel.
    auto *top = new QGridLayout;
    const auto label = [this](const char *text) { return new QLabel(text, m_strip); };
    top->addWidget(label("Rec No:"), 0, 0);
    top->addWidget(txtRecno, 0, 1);
    top->addWidget(label("Start:"), 0, 2);
    top->addWidget(txtStartTime, 0, 3);
    top->addWidget(label("End:"), 0, 4);
    top->addWidget(txtEndTime, 0, 5);
    top->addWidget(label("Description:"), 1, 0);
    top->addWidget(txtDataDesc, 1, 1, 1, 3);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdLoadRecord);
    buttons->addWidget(cmdClear);
    buttons->addWidget(cmdGenerate);
    buttons->addWidget(cmdGenerateMin);
    top->addLayout(buttons, 1, 4, 1, 2);
    top->setColumnStretch(6, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(CmbSample);
    for (std::size_t ch = 0; ch < 3; ++ch) {
        bottom->addWidget(m_boxV[ch]);
        bottom->addWidget(m_boxA[ch]);
    }
    bottom->addWidget(txtTick);
    bottom->addWidget(txtTime);
    bottom->addStretch();
    auto *strip = new QVBoxLayout(m_strip);
    strip->setContentsMargins(4, 4, 4, 4);
    strip->addLayout(top);
    strip->addLayout(bottom);

    grdHelQuest = new QTableView(this);
    grdHelQuest->setObjectName("grdHelQuest");
    grdHelQuest->setModel(m_model);
    grdHelQuest->setSelectionMode(QAbstractItemView::NoSelection);
    grdHelQuest->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdHelQuest->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    grdHelQuest->verticalHeader()->hide();
    grdHelQuest->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);

    List1 = new QListWidget(this);
    List1->setObjectName("List1");
    List1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    List1->hide();

    pnlDataComment = new QFrame(this);
    pnlDataComment->setObjectName("pnlDataComment");
    pnlDataComment->setFrameShape(QFrame::Panel);
    pnlDataComment->setFrameShadow(QFrame::Raised);
    pnlDataComment->setAutoFillBackground(true);
    txtDataComment = new QLineEdit(pnlDataComment);
    txtDataComment->setObjectName("txtDataComment");
    cmdProcOK = newButton(pnlDataComment, "cmdProcOK", "OK");
    cmdProcCancel = newButton(pnlDataComment, "cmdProcCancel", "Cancel");
    auto *comment = new QHBoxLayout(pnlDataComment);
    comment->addWidget(txtDataComment, 1);
    comment->addWidget(cmdProcOK);
    comment->addWidget(cmdProcCancel);
    pnlDataComment->resize(420, 44);
    pnlDataComment->hide();

    connect(cmdSave, &QPushButton::clicked, this, &frmDataTable::cmdSave_Click);
    connect(cmdLoadRecord, &QPushButton::clicked, this, &frmDataTable::cmdLoadRecord_Click);
    connect(cmdClear, &QPushButton::clicked, this, &frmDataTable::cmdClear_Click);
    connect(cmdGenerate, &QPushButton::clicked, this, &frmDataTable::cmdGenerate_Click);
    connect(cmdGenerateMin, &QPushButton::clicked, this, &frmDataTable::cmdGenerateMin_Click);
    connect(cmdProcOK, &QPushButton::clicked, this, &frmDataTable::cmdProcOK_Click);
    connect(cmdProcCancel, &QPushButton::clicked, this, &frmDataTable::cmdProcCancel_Click);
    connect(CmbSample, &QComboBox::currentIndexChanged, this, &frmDataTable::CmbSample_Click);
    connect(List1, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) { List1_Click(List1->row(item)); });
    connect(grdHelQuest, &QTableView::clicked, this,
            [this](const QModelIndex &index) { grdHelQuest_Click(index.row(), index.column()); });
    connect(txtStartTime, &QLineEdit::textChanged, this, &frmDataTable::startTimeEdited);
}

void frmDataTable::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeControls();
}

// The grid was created for one channel; the main window sets the channel
// count afterwards, so an empty grid takes it on when first shown.
void frmDataTable::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_model->rowCount() == 0 && m_model->channels() != channelsShown())
        rebuildHeader();
}

void frmDataTable::placeControls()
{
    const int strip = stripHeight();
    m_strip->setGeometry(0, 0, width(), strip);
    // The events column takes up to a third of the width once there are events.
    const bool events = lstEvents->count() > 0;
    const int eventsWidth = events ? std::min(width() / 3, cmdMark->sizeHint().width() * 4) : 0;
    const int gridWidth = std::max(0, width() - GridMargin - (events ? eventsWidth + GridMargin / 2 : 0));
    const int gridHeight = std::max(0, height() - strip);
    const QRect grid(GridMargin / 2, strip, gridWidth, gridHeight);
    lstEvents->setVisible(events);
    cmdMark->setVisible(events);
    if (events) {
        const int left = grid.right() + 1 + GridMargin / 2;
        const int buttonHeight = cmdMark->sizeHint().height();
        cmdMark->setGeometry(left, strip, std::min(eventsWidth, cmdMark->sizeHint().width()), buttonHeight);
        lstEvents->setGeometry(left, strip + buttonHeight + 2, eventsWidth, std::max(0, gridHeight - buttonHeight - 2));
    }
    grdHelQuest->setGeometry(grid);
    List1->setGeometry(grid);
    pnlDataComment->move(grid.left() + std::max(0, (gridWidth - pnlDataComment->width()) / 2),
                         grid.top() + std::max(0, (gridHeight - pnlDataComment->height()) / 2));
    const int rowHeight = std::max(1, grdHelQuest->verticalHeader()->defaultSectionSize());
    const int headerHeight = grdHelQuest->horizontalHeader()->sizeHint().height();
    m_visibleRows = std::max(0, (gridHeight - headerHeight) / rowHeight);
}

void frmDataTable::rebuildHeader()
{
    const int channels = channelsShown();
    m_model->setChannels(channels);
    grdHelQuest->setColumnWidth(0, twips(900));
    grdHelQuest->setColumnWidth(1, twips(1600));
    grdHelQuest->setColumnWidth(m_model->commentColumn(), twips(2000));
    for (std::size_t ch = 0; ch < 3; ++ch) {
        const bool shown = static_cast<int>(ch) < channels;
        m_boxV[ch]->setVisible(shown);
        m_boxA[ch]->setVisible(shown);
    }
    updateMinimumSize();
}

void frmDataTable::scrollGridTo(int topRow)
{
    // The scroll range must include rows added since the last layout.
    grdHelQuest->doItemsLayout();
    grdHelQuest->scrollTo(m_model->index(topRow, 0), QAbstractItemView::PositionAtTop);
}

int frmDataTable::channelsShown() const
{
    return std::clamp<int>(ContrlIdx, 0, 2) + 1;
}

// The start time follows its box, typed or loaded; other text leaves it.
void frmDataTable::startTimeEdited(const QString &text)
{
    const QDateTime time = parseRecordTime(text);
    if (time.isValid())
        m_startTime = time;
}

} // namespace qle
