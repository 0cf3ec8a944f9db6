#include "frmTerminal.h"

#include "comm/CommTasker.h"
#include "platform/Platform.h"
#include "platform/SettingsStore.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTime>
#include <QVBoxLayout>

namespace qle {
namespace {

const QString Section = QStringLiteral("Terminal");
const QString HistoryKey = QStringLiteral("History");
// Lines are kept in one setting, separated by a character no line holds.
constexpr QChar HistorySeparator(0x1f);

} // namespace

frmTerminal::frmTerminal(CommTasker &engine, QWidget *parent) : QWidget(parent, Qt::Window), m_engine(engine)
{
    setWindowTitle("Terminal");
    setObjectName("frmTerminal");
    txtLog = new QPlainTextEdit(this);
    txtLog->setObjectName("txtLog");
    txtLog->setReadOnly(true);
    txtLog->setMaximumBlockCount(5000);
    txtLog->setFont(QFont(QStringLiteral("monospace")));
    txtLine = new QLineEdit(this);
    txtLine->setObjectName("txtLine");
    txtLine->setFont(txtLog->font());
    txtLine->installEventFilter(this);
    cmdSend = new QPushButton("Send", this);
    cmdSend->setObjectName("cmdSend");
    lblHint = new QLabel(this);
    lblHint->setObjectName("lblHint");
    lblHint->setWordWrap(true);

    auto *input = new QHBoxLayout;
    input->addWidget(txtLine, 1);
    input->addWidget(cmdSend);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(txtLog, 1);
    layout->addWidget(lblHint);
    layout->addLayout(input);
    resize(560, 360);

    connect(txtLine, &QLineEdit::returnPressed, this, &frmTerminal::sendLine);
    connect(cmdSend, &QPushButton::clicked, this, &frmTerminal::sendLine);
    m_replyLimit.setSingleShot(true);
    connect(&m_replyLimit, &QTimer::timeout, this, &frmTerminal::onTimeout);

    const QString stored = platform::settings().GetSetting(Section, HistoryKey, QString());
    if (!stored.isEmpty())
        m_history = stored.split(HistorySeparator).mid(0, HistoryLength);
    m_historyAt = m_history.size();
    updateControls();
}

void frmTerminal::setLink(Link link)
{
    if (link != Link::Instrument && m_awaitingReply) {
        m_awaitingReply = false;
        m_replyLimit.stop();
        log("-- link closed, no reply");
    }
    m_link = link;
    updateControls();
}

void frmTerminal::updateControls()
{
    const bool canSend = m_link == Link::Instrument && !m_awaitingReply;
    txtLine->setEnabled(m_link == Link::Instrument);
    cmdSend->setEnabled(canSend);
    switch (m_link) {
    case Link::None:
        lblHint->setText("No instrument is connected: connect one from the Interface menu to send lines.");
        break;
    case Link::Testing:
        lblHint->setText("Testing mode: there is no instrument, nothing is sent.");
        break;
    case Link::Instrument:
        lblHint->setText(m_awaitingReply ? QStringLiteral("Waiting for the reply...")
                                         : QStringLiteral("A line ending in \"?\" waits for its reply."));
        break;
    }
}

void frmTerminal::log(const QString &text)
{
    txtLog->appendPlainText(QTime::currentTime().toString("hh:mm:ss.zzz") + "  " + text);
}

void frmTerminal::remember(const QString &line)
{
    m_history.removeAll(line);
    m_history.append(line);
    while (m_history.size() > HistoryLength)
        m_history.removeFirst();
    m_historyAt = m_history.size();
    platform::settings().SaveSetting(Section, HistoryKey, m_history.join(HistorySeparator));
}

void frmTerminal::recall(int step)
{
    if (m_history.isEmpty())
        return;
    m_historyAt = std::clamp<qsizetype>(m_historyAt + step, 0, m_history.size());
    txtLine->setText(m_historyAt < m_history.size() ? m_history.at(m_historyAt) : QString());
}

bool frmTerminal::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == txtLine && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            recall(key == Qt::Key_Up ? -1 : 1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmTerminal::sendLine()
{
    const QString line = txtLine->text().trimmed();
    if (line.isEmpty() || m_link != Link::Instrument || m_awaitingReply)
        return;
    remember(line);
    txtLine->clear();
    const bool query = line.endsWith(u'?');
    if (!sendRawLine(m_engine, line, this, "takeReply")) {
        log(QStringLiteral("-- not sent: the engine refused the %1 : ").arg(query ? "query" : "command") + line);
        return;
    }
    log("> " + line);
    // A mistyped command is told here, at once, before polling could read
    // the instrument's error queue and switch the output off for it.
    const bool readsErrors =
        !query && !m_errorQuery.isEmpty() && readErrorsAfterCommand(m_engine, m_errorQuery, this, "takeReply");
    if (readsErrors)
        log("> " + m_errorQuery);
    if (query || readsErrors) {
        m_awaitingReply = true;
        m_replyLimit.start(rawReplyLimitMs(m_engine));
    }
    updateControls();
}

void frmTerminal::takeReply(const QString &reply)
{
    if (!m_awaitingReply)
        return;
    m_awaitingReply = false;
    m_replyLimit.stop();
    log("< " + reply);
    updateControls();
}

void frmTerminal::onTimeout()
{
    if (!m_awaitingReply)
        return;
    m_awaitingReply = false;
    log(QStringLiteral("-- no reply within %1 s").arg(m_engine.responseTimeoutSec()));
    updateControls();
}

} // namespace qle
