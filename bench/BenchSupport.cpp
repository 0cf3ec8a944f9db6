#include "BenchSupport.h"

#include "platform/Platform.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QSysInfo>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <sched.h>
#include <sys/resource.h>

namespace qle::bench {
namespace {

QString firstMatch(const QString &path, const QByteArray &key)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith(key)) {
            const qsizetype colon = line.indexOf(':');
            return QString::fromUtf8(line.mid(colon + 1).trimmed());
        }
    }
    return {};
}

int onlineCores()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0)
        return CPU_COUNT(&set);
    return QThread::idealThreadCount();
}

QString fixed(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

// Enough decimals to show three significant digits, at most four.
QString shown(double value)
{
    const double a = std::abs(value);
    if (a >= 100)
        return fixed(value, 1);
    if (a >= 10)
        return fixed(value, 2);
    if (a >= 1)
        return fixed(value, 3);
    return fixed(value, 4);
}

} // namespace

QString machineLine()
{
    QString load;
    QFile loadavg("/proc/loadavg");
    if (loadavg.open(QIODevice::ReadOnly))
        load = QString::fromLatin1(loadavg.readAll()).section(' ', 0, 2);
    return QStringLiteral("machine: %1, %2 cores (nproc), %3, load %4, %5")
        .arg(QSysInfo::machineHostName())
        .arg(onlineCores())
        .arg(firstMatch("/proc/cpuinfo", "model name"), load, QDateTime::currentDateTime().toString(Qt::ISODate));
}

void printHeader(const char *title)
{
    std::printf("== %s\n%s\n", title, qPrintable(machineLine()));
    std::fflush(stdout);
}

double median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double percentile(QList<double> values, double p)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<qsizetype>(std::ceil(p / 100.0 * static_cast<double>(values.size()))) - 1;
    return values.at(std::clamp<qsizetype>(rank, 0, values.size() - 1));
}

double nowMs()
{
    static const QElapsedTimer started = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return static_cast<double>(started.nsecsElapsed()) / 1e6;
}

void print(const Figure &f)
{
    const QString value = shown(f.value) + " " + f.unit;
    const QString ref = f.refName + " " + shown(f.ref) + " " + f.unit;
    const QString ratio = f.ref != 0 ? fixed(f.value / f.ref, 3) : QStringLiteral("-");
    const QString verdict = !f.ok ? QStringLiteral("INFO") : (*f.ok ? QStringLiteral("PASS") : QStringLiteral("MISS"));
    QString line =
        QStringLiteral("%1 %2 | ref %3 | ratio %4 | goal %5 | %6")
            .arg(f.name.leftJustified(46), value.rightJustified(13), ref, ratio.rightJustified(6), f.goal, verdict);
    if (!f.note.isEmpty())
        line += "  (" + f.note + ")";
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

void printNotAvailable(const QString &name, const QString &why)
{
    std::printf("%s %s\n", qPrintable(name.leftJustified(46)), qPrintable("n/a (" + why + ")"));
    std::fflush(stdout);
}

void printDetail(const QString &text)
{
    std::printf("    %s\n", qPrintable(text));
    std::fflush(stdout);
}

qint64 residentKb()
{
    const QString text = firstMatch("/proc/self/status", "VmRSS");
    return text.section(' ', 0, 0, QString::SectionSkipEmpty).toLongLong();
}

double cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval &t) { return static_cast<double>(t.tv_sec) * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

QuietMessageBox::QuietMessageBox()
{
    platform::setMessageBox(this);
}

QuietMessageBox::~QuietMessageBox()
{
    platform::setMessageBox(nullptr);
}

IMessageBox::Answer QuietMessageBox::show(const QString &text, const QString &, Buttons buttons, Icon)
{
    shown.append(text);
    std::fprintf(stderr, "bench: message box: %s\n", qPrintable(text));
    return buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok;
}

bool SimInstrument::start(const QStringList &arguments)
{
    m_link = m_dir.filePath("psu");
    QStringList args{"--link", m_link, "--transcript", m_dir.filePath("transcript.txt")};
    args += arguments;
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(QLE_BENCH_PSU_SIM), args);
    if (!m_process.waitForStarted(5000))
        return false;
    QDeadlineTimer deadline(5000);
    while (!m_process.canReadLine() && !deadline.hasExpired())
        m_process.waitForReadyRead(100);
    if (!m_process.canReadLine())
        return false;
    m_process.readLine();
    m_offset = 0;
    return QFileInfo::exists(m_link);
}

void SimInstrument::control(const QString &command)
{
    m_process.write(command.toUtf8() + '\n');
    m_process.readAllStandardOutput();
}

void SimInstrument::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.write("quit\n");
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

qint64 wireLength(const QByteArray &escaped)
{
    qint64 n = 0;
    for (qsizetype i = 0; i < escaped.size(); ++i) {
        if (escaped[i] == '\\' && i + 1 < escaped.size()) {
            i += escaped[i + 1] == 'x' ? 3 : 1;
        }
        ++n;
    }
    return n;
}

Exchange SimInstrument::takeExchange()
{
    Exchange e;
    QFile file(m_dir.filePath("transcript.txt"));
    if (!file.open(QIODevice::ReadOnly))
        return e;
    file.seek(m_offset);
    const QByteArray data = file.readAll();
    // Only whole lines count; a line still being written waits for the next take.
    const qsizetype end = data.lastIndexOf('\n') + 1;
    m_offset += end;
    for (const QByteArray &line : data.left(end).split('\n')) {
        const qsizetype first = line.indexOf(' ');
        if (first < 0 || first + 2 >= line.size())
            continue;
        const char direction = line[first + 1];
        const QByteArray text = line.mid(first + 3);
        if (direction == '<') {
            ++e.linesIn;
            e.bytesIn += wireLength(text) + 2;
            e.lines.append({'<', wireLength(text) + 2, QString::fromLatin1(text)});
        } else if (direction == '>') {
            ++e.linesOut;
            e.bytesOut += wireLength(text) + 1;
            e.lines.append({'>', wireLength(text) + 1, QString::fromLatin1(text)});
        }
    }
    return e;
}

} // namespace qle::bench
