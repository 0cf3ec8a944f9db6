#pragma once

#include <QByteArray>
#include <QObject>

class QLocalServer;
class QSocketNotifier;

namespace psusim {

class ControlInterpreter;

// Carries control commands from standard input (answers on standard output)
// and from a local socket (answers on the same connection).
class ControlServer : public QObject {
    Q_OBJECT
public:
    explicit ControlServer(ControlInterpreter &interpreter, QObject *parent = nullptr);

    static constexpr int kBackgroundRetryMs = 500;

    void watchStdin();
    bool listen(const QString &path, QString *error);

signals:
    void handled(const QByteArray &command, const QByteArray &reply);
    void quitRequested();

private:
    void onStdin();
    QByteArray run(const QByteArray &line);

    ControlInterpreter &m_interpreter;
    QSocketNotifier *m_stdin = nullptr;
    QByteArray m_stdinLine;
    QLocalServer *m_server = nullptr;
};

} // namespace psusim
