#pragma once

#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace qle {

class CommTasker;

// A line typed here goes to the instrument through the engine, in turn with
// the panel's polling: a line ending in "?" waits for its reply, any other
// is a command. The log shows each line sent and each reply or time-out with
// its time. Up and Down bring back earlier lines, kept across runs.
class frmTerminal final : public QWidget {
    Q_OBJECT
public:
    enum class Link { None, Instrument, Testing };
    static constexpr int HistoryLength = 100;

    explicit frmTerminal(CommTasker &engine, QWidget *parent = nullptr);

    void setLink(Link link);
    // The query that reads the instrument's error queue after each command
    // line; empty for an instrument without one.
    void setErrorQuery(const QString &query) { m_errorQuery = query; }
    [[nodiscard]] Link link() const { return m_link; }
    // Sends the field's line as Enter does.
    void sendLine();

    QLineEdit *txtLine = nullptr;
    QPlainTextEdit *txtLog = nullptr;
    QLabel *lblHint = nullptr;
    QPushButton *cmdSend = nullptr;

public slots:
    // The reply to the last query, delivered by name by the engine.
    void takeReply(const QString &reply);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void log(const QString &text);
    void remember(const QString &line);
    void recall(int step);
    void updateControls();
    void onTimeout();

    CommTasker &m_engine;
    Link m_link = Link::None;
    QStringList m_history;
    qsizetype m_historyAt = 0;
    bool m_awaitingReply = false;
    QTimer m_replyLimit;
    QString m_errorQuery;
};

} // namespace qle
