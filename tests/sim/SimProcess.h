#pragma once

#include <QProcess>
#include <QStringList>
#include <QTest>

#include <csignal>
#include <sys/prctl.h>

// psu-sim run as a child process; its first output line says where it is.
class SimProcess {
public:
    ~SimProcess()
    {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(3000))
                process.kill();
        }
    }

    // Starts the simulator and returns its first line ("" on failure).
    QString start(const QStringList &arguments)
    {
        // Killed with the test, should the test crash.
        process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        process.start(QStringLiteral(PSU_SIM_PATH), arguments);
        if (!process.waitForStarted(5000))
            return {};
        QByteArray line;
        if (!nextLine(line))
            return {};
        return QString::fromLocal8Bit(line);
    }

    // The next line of standard output, within the time limit.
    bool nextLine(QByteArray &line, int timeoutMs = 5000)
    {
        if (!QTest::qWaitFor([this] { return process.canReadLine(); }, timeoutMs))
            return false;
        line = process.readLine().trimmed();
        return true;
    }

    // A control command on standard input; returns the answer line.
    QByteArray control(const QByteArray &command)
    {
        process.write(command + '\n');
        QByteArray answer;
        return nextLine(answer) ? answer : QByteArray("<no answer>");
    }

    QProcess process;
};
