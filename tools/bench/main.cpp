// The benchmark: what a passenger feels and what the unit spends, for the program and, beside
// each figure, for an empty Qt Quick Controls 2 window measured the same way in the same run. It
// starts a private broker and the device-service simulator, then for each renderer (software on
// the offscreen platform, OpenGL on the X display) and each subject: start to the first idle
// frame, resident memory, CPU of the idle screen, result to presented frame, the same under a
// flood of messages on a topic both subjects hear, and memory growth over many results. The
// subjects report their frames with the latency probe (PERNIX_LATENCY_PROBE=1).

#include "LatencyProbe.h"
#include "MosquittoBroker.h"
#include "MqttClient.h"
#include "Simulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <mosquitto.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <thread>

namespace {

struct Settings
{
    int results = 300;
    int growthResults = 10000;
    int cpuSeconds = 60;
    int floodRate = 50000;
    int floodResults = 50;
    // One start is at the mercy of the machine; the start figures are medians.
    int starts = 7;
};

bool waitFor(const std::function<bool()> &done, int ms)
{
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(500);
    }
    return true;
}

void pause(int ms)
{
    waitFor([] { return false; }, ms);
}

// One subject running: its process, and the frames its probe has reported.
class Subject
{
public:
    Subject(const QString &program, const QStringList &args, const QProcessEnvironment &env,
            const QString &folder)
    {
        m_process.setProcessEnvironment(env);
        m_process.setWorkingDirectory(folder);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_started = LatencyProbe::now();
        m_process.start(program, args);
    }
    ~Subject()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(2000);
    }

    // Reads what the probe has said so far.
    void poll()
    {
        m_buffer += m_process.readAllStandardError();
        int end;
        while ((end = m_buffer.indexOf('\n')) >= 0) {
            const QByteArray line = m_buffer.left(end);
            m_buffer.remove(0, end + 1);
            static const QRegularExpression frame(
                QStringLiteral("\\[LatencyProbe\\] (Result to frame|Idle frame|First frame) : "
                               "([0-9.]+) ms "
                               "\\(marked=([0-9]+) presented=([0-9]+)\\)"));
            const auto match = frame.match(QString::fromUtf8(line));
            if (!match.hasMatch())
                continue;
            const qint64 presented = match.captured(4).toLongLong();
            if (match.captured(1) == QLatin1String("First frame"))
                m_firstFrame = presented;
            else if (match.captured(1) == QLatin1String("Idle frame"))
                m_idleFrame = presented;
            else
                m_frames.append(presented);
        }
    }

    bool running() const { return m_process.state() != QProcess::NotRunning; }
    qint64 pid() const { return m_process.processId(); }
    qint64 started() const { return m_started; }
    qint64 firstFrame() const { return m_firstFrame; }
    qint64 idleFrame() const { return m_idleFrame; }
    const QVector<qint64> &frames() const { return m_frames; }

    // Resident memory (kB).
    long rss() const
    {
        QFile status(QStringLiteral("/proc/%1/status").arg(pid()));
        if (!status.open(QIODevice::ReadOnly))
            return -1;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                return line.mid(6).trimmed().split(' ').value(0).toLong();
        }
        return -1;
    }
    // User and system time spent so far, in clock ticks.
    long cpuTicks() const
    {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid()));
        if (!stat.open(QIODevice::ReadOnly))
            return -1;
        const QByteArray text = stat.readAll();
        // Fields after the command name (which may hold blanks): state is the 3rd field.
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        return fields.value(11).toLong() + fields.value(12).toLong();
    }

private:
    QProcess m_process;
    QByteArray m_buffer;
    qint64 m_started = 0;
    qint64 m_firstFrame = 0;
    qint64 m_idleFrame = 0;
    QVector<qint64> m_frames;
};

// Publishes as fast as asked on one topic from its own thread and connection, like a chatty
// device service.
class Flood
{
public:
    Flood(quint16 port, int rate) : m_rate(rate)
    {
        m_mosq = mosquitto_new("pernix-bench-flood", true, nullptr);
        if (mosquitto_connect(m_mosq, "127.0.0.1", port, 30) != MOSQ_ERR_SUCCESS ||
            mosquitto_loop_start(m_mosq) != MOSQ_ERR_SUCCESS)
            return;
        m_thread = std::thread([this] { run(); });
    }
    ~Flood()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        mosquitto_disconnect(m_mosq);
        mosquitto_loop_stop(m_mosq, false);
        mosquitto_destroy(m_mosq);
    }
    // Messages per second actually sent.
    double rate() const
    {
        const double seconds = m_seconds.load();
        return seconds > 0 ? m_sent.load() / seconds : 0;
    }

private:
    void run()
    {
        static const char payload[] = "{\"usage\":12.5,\"cores\":[10.1,14.9]}";
        QElapsedTimer clock;
        clock.start();
        while (!m_stop) {
            // Catch up with the rate, a millisecond's worth at a time.
            const qint64 due = clock.nsecsElapsed() * m_rate / 1000000000;
            while (m_sent < due && !m_stop) {
                mosquitto_publish(m_mosq, nullptr, "velt/inspector/stats/cpu",
                                  int(sizeof payload - 1), payload, 0, false);
                ++m_sent;
            }
            m_seconds = clock.nsecsElapsed() / 1e9;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    mosquitto *m_mosq = nullptr;
    const int m_rate;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<qint64> m_sent{0};
    std::atomic<double> m_seconds{0};
};

struct Latency
{
    double median = -1, p99 = -1, max = -1;
    int missed = 0;
};

Latency summarise(QVector<double> values, int missed)
{
    Latency latency;
    latency.missed = missed;
    if (values.isEmpty())
        return latency;
    std::sort(values.begin(), values.end());
    latency.median = values.at(values.size() / 2);
    latency.p99 = values.at(std::min<int>(values.size() - 1, int(values.size() * 0.99)));
    latency.max = values.last();
    return latency;
}

// What one subject measured under one renderer.
struct Figures
{
    double firstFrameMs = -1;
    double startMs = -1;
    long rssKb = -1;
    double idleCpu = -1;
    Latency latency;
    Latency flooded;
    double floodRate = 0;
    long growthKb = 0;
    int growthResults = 0;
};

// Results of alternating kinds, so that each one changes what the screen shows.
const QStringList Results = {
    QStringLiteral("card valid type=epurse before=1500 after=1380"),
    QStringLiteral("card invalid deny=205 type=epurse"),
    QStringLiteral("card valid type=journeys trips=7 transfer=75"),
    QStringLiteral("ticket invalid deny=101"),
};

// Sends results one at a time and times each from its publication to the frame that shows it.
Latency measureLatency(Subject &subject, sim::Simulator &simulator, int count)
{
    QVector<double> values;
    int missed = 0;
    for (int i = 0; i < count && subject.running(); ++i) {
        subject.poll();
        const int before = subject.frames().size();
        const qint64 sent = LatencyProbe::now();
        simulator.execute(Results.at(i % Results.size()));
        if (!waitFor(
                [&] {
                    subject.poll();
                    return subject.frames().size() > before;
                },
                20000)) {
            ++missed;
            continue;
        }
        values.append((subject.frames().at(before) - sent) / 1000.0);
        // A passenger's taps are seconds apart; a short gap keeps the frames apart.
        pause(40);
    }
    return summarise(values, missed);
}

Figures measure(const QString &name, const std::function<Subject *()> &start,
                sim::Simulator &simulator, quint16 port, const Settings &settings)
{
    Figures figures;
    std::fprintf(stderr, "  %s: starting %d times\n", qPrintable(name), settings.starts);
    std::unique_ptr<Subject> running;
    QVector<double> firstFrames, idleFrames;
    for (int i = 0; i < settings.starts; ++i) {
        running.reset(); // the one before has ended
        running.reset(start());
        Subject &subject = *running;
        if (!waitFor(
                [&] {
                    subject.poll();
                    return subject.idleFrame() > 0 || !subject.running();
                },
                60000) ||
            !subject.running()) {
            std::fprintf(stderr, "  %s: no idle frame\n", qPrintable(name));
            return figures;
        }
        firstFrames.append((subject.firstFrame() - subject.started()) / 1000.0);
        idleFrames.append((subject.idleFrame() - subject.started()) / 1000.0);
        if (i + 1 < settings.starts)
            pause(1000); // its start-up work behind it, as a unit's would be
    }
    figures.firstFrameMs = summarise(firstFrames, 0).median;
    figures.startMs = summarise(idleFrames, 0).median;
    Subject &subject = *running;
    pause(3000); // images, caches and the first animation frames settle
    figures.rssKb = subject.rss();

    std::fprintf(stderr, "  %s: idle CPU over %d s\n", qPrintable(name), settings.cpuSeconds);
    const long ticks = subject.cpuTicks();
    pause(settings.cpuSeconds * 1000);
    figures.idleCpu =
        100.0 * (subject.cpuTicks() - ticks) / (sysconf(_SC_CLK_TCK) * settings.cpuSeconds);

    std::fprintf(stderr, "  %s: %d results\n", qPrintable(name), settings.results);
    figures.latency = measureLatency(subject, simulator, settings.results);

    std::fprintf(stderr, "  %s: %d results under a flood of %d messages/s\n", qPrintable(name),
                 settings.floodResults, settings.floodRate);
    {
        Flood flood(port, settings.floodRate);
        pause(2000);
        figures.flooded = measureLatency(subject, simulator, settings.floodResults);
        figures.floodRate = flood.rate();
    }
    // Whatever the flood left queued drains before memory is read.
    pause(3000);

    std::fprintf(stderr, "  %s: memory over %d results\n", qPrintable(name),
                 settings.growthResults);
    const long before = subject.rss();
    subject.poll();
    const int frames = subject.frames().size();
    for (int i = 0; i < settings.growthResults && subject.running(); ++i) {
        simulator.execute(Results.at(i % Results.size()));
        // About a thousand a second: the program keeps up and nothing waits in the broker.
        if (i % 10 == 9)
            pause(10);
    }
    waitFor(
        [&] {
            subject.poll();
            return subject.frames().size() - frames >= settings.growthResults;
        },
        60000);
    pause(5000); // the last result screen ends, the idle screen returns
    figures.growthResults = subject.frames().size() - frames;
    figures.growthKb = subject.rss() - before;
    return figures;
}

QString number(double value, int decimals = 1)
{
    return value < 0 ? QStringLiteral("-") : QString::number(value, 'f', decimals);
}

void printRow(const char *label, const QString &program, const QString &empty)
{
    std::printf("| %-44s | %18s | %18s |\n", label, qPrintable(program), qPrintable(empty));
}

QString latencyText(const Latency &latency)
{
    QString text = QStringLiteral("%1 / %2 / %3")
                       .arg(number(latency.median), number(latency.p99), number(latency.max));
    if (latency.missed)
        text += QStringLiteral(" (%1 lost)").arg(latency.missed);
    return text;
}

void printTable(const QString &renderer, const Figures &program, const Figures &empty)
{
    std::printf("\n%s\n\n", qPrintable(renderer));
    printRow("figure", QStringLiteral("program"), QStringLiteral("empty window"));
    std::printf("|%s|%s|%s|\n", QByteArray(46, '-').constData(), QByteArray(20, '-').constData(),
                QByteArray(20, '-').constData());
    printRow("start to first frame (ms, median)", number(program.firstFrameMs, 0),
             number(empty.firstFrameMs, 0));
    printRow("start to first idle frame (ms, median)", number(program.startMs, 0),
             number(empty.startMs, 0));
    printRow("resident memory, idle (MB)", number(program.rssKb / 1024.0),
             number(empty.rssKb / 1024.0));
    printRow("CPU, idle screen (% of a core)", number(program.idleCpu, 2),
             number(empty.idleCpu, 2));
    printRow("result to frame, median / p99 / max (ms)", latencyText(program.latency),
             latencyText(empty.latency));
    printRow("the same under the flood (ms)", latencyText(program.flooded),
             latencyText(empty.flooded));
    printRow("flood rate reached (messages/s)", number(program.floodRate, 0),
             number(empty.floodRate, 0));
    printRow(
        qPrintable(QStringLiteral("memory growth over %1 results (MB)").arg(program.growthResults)),
        QString::number(program.growthKb / 1024.0, 'f', 1),
        QString::number(empty.growthKb / 1024.0, 'f', 1));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    // The simulator's account of every message would drown the figures.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", qPrintable(text));
    });
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Measures the program beside an empty Qt Quick Controls 2 window."));
    parser.addHelpOption();
    const QCommandLineOption quick(QStringLiteral("quick"),
                                   QStringLiteral("A short run: few results, 5 s of idle CPU."));
    const QCommandLineOption renderers(QStringLiteral("renderers"),
                                       QStringLiteral("software, opengl or both (default)."),
                                       QStringLiteral("list"), QStringLiteral("software,opengl"));
    parser.addOptions({quick, renderers});
    parser.process(app);

    const QStringList wanted = parser.value(renderers).split(QLatin1Char(','));
    for (const QString &name : wanted) {
        if (name != QLatin1String("software") && name != QLatin1String("opengl")) {
            std::fprintf(stderr, "Unknown renderer '%s': software or opengl\n", qPrintable(name));
            return 1;
        }
    }

    Settings settings;
    if (parser.isSet(quick))
        settings = {20, 200, 5, 20000, 10, 3};
    const QString dir = QCoreApplication::applicationDirPath();
    const QString program = dir + QStringLiteral("/pernix");
    const QString empty = dir + QStringLiteral("/pernix-emptywindow");

    QTemporaryDir work;
    // Room for the flood's messages while a subject is busy.
    MosquittoBroker broker({QStringLiteral("max_queued_messages 100000")}, true);
    if (!broker.start()) {
        std::fprintf(stderr, "The broker did not start\n");
        return 1;
    }
    const quint16 port = broker.port();
    mosquitto_lib_init();

    manager::MqttClient simClient;
    simClient.setHostname(QStringLiteral("127.0.0.1"));
    simClient.setPort(port);
    simClient.setClientId(QStringLiteral("pernix-bench-simulator"));
    sim::Simulator simulator(simClient, sim::Simulator::Bases());
    simClient.connect();
    waitFor([&] { return simClient.state() == manager::MosquittoClient::Connected; }, 10000);
    simulator.execute(QStringLiteral("ignition on"));
    simulator.execute(QStringLiteral("validator online"));

    QFile serial(work.filePath(QStringLiteral("serialnumber")));
    serial.open(QIODevice::WriteOnly);
    serial.write("C00001234");
    serial.close();
    QFile config(work.filePath(QStringLiteral("gui.conf")));
    config.open(QIODevice::WriteOnly);
    config.write("[gui]\ndeviceId=serialnumber\n[log]\nsyslog=false\n");
    config.close();

    for (const QString &renderer : {QStringLiteral("software"), QStringLiteral("opengl")}) {
        if (!wanted.contains(renderer))
            continue;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PERNIX_LATENCY_PROBE"), QStringLiteral("1"));
        env.insert(QStringLiteral("PERNIX_EVENT_LOG"), work.filePath(QStringLiteral("events.ini")));
        env.remove(QStringLiteral("QT_QUICK_BACKEND"));
        QString title;
        if (renderer == QLatin1String("software")) {
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
            env.insert(QStringLiteral("QT_QUICK_BACKEND"), QStringLiteral("software"));
            title = QStringLiteral("Software renderer (offscreen platform)");
        } else {
            if (qEnvironmentVariableIsEmpty("DISPLAY")) {
                std::fprintf(stderr, "OpenGL needs an X display; skipped\n");
                continue;
            }
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
            title = QStringLiteral("OpenGL (X display, Mesa)");
        }
        std::fprintf(stderr, "%s\n", qPrintable(title));
        const QStringList address{QStringLiteral("-H"), QStringLiteral("127.0.0.1"),
                                  QStringLiteral("-P"), QString::number(port)};
        const Figures emptyFigures = measure(
            QStringLiteral("empty window"),
            [&] { return new Subject(empty, address, env, work.path()); }, simulator, port,
            settings);
        const Figures programFigures = measure(
            QStringLiteral("program"),
            [&] {
                return new Subject(program, QStringList{QStringLiteral("-e")} + address, env,
                                   work.path());
            },
            simulator, port, settings);
        printTable(title, programFigures, emptyFigures);
    }

    broker.stop();
    mosquitto_lib_cleanup();
    return 0;
}
