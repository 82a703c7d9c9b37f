#include "MosquittoBroker.h"
#include "MqttObserver.h"
#include "Program.h"
#include "SimulatorRun.h"

#include <QSettings>
#include <QtTest>

#include <signal.h>

namespace {

constexpr int WaitMs = 20000;

// What the program asked the broker to deliver (the requests it published), each topic counted.
QMap<QString, int> published(MosquittoBroker &broker, Program &program)
{
    const QString clientId = "Pernix_" + QString::number(program.process().processId());
    QMap<QString, int> topics;
    for (const QString &request : broker.requests(clientId)) {
        if (request.startsWith("publish "))
            ++topics[request.mid(8)];
    }
    return topics;
}

bool publishedEach(MosquittoBroker &broker, Program &program, const QStringList &topics, int times)
{
    const QMap<QString, int> counts = published(broker, program);
    for (const QString &topic : topics) {
        if (counts.value(topic) != times)
            return false;
    }
    return true;
}

} // namespace

class StartupTest : public QObject
{
    Q_OBJECT

private slots:
    void retriesWithoutBroker()
    {
        Program program(
            {"-e", "-H", "127.0.0.1", "-P", QString::number(MosquittoBroker::freePort())});
        QTRY_VERIFY_WITH_TIMEOUT(program.count("[MqttClient] Connecting to host") >= 2, WaitMs);
        QCOMPARE(program.process().state(), QProcess::Running);

        // Each line carries the elapsed time.
        QVERIFY(QRegularExpression(R"(\[ *\d+\.\d{3}\] \[MqttClient\] Connecting to host\n)")
                    .match(program.log())
                    .hasMatch());
        QVERIFY(program.log().contains("Log to stderr overridden from user to true"));

        // The configuration file was created with every default.
        QSettings conf(program.path("gui.conf"), QSettings::IniFormat);
        QCOMPARE(conf.allKeys().size(), 25);
        QCOMPARE(conf.value("mqtt/base").toString(), QString("velt/ui"));
        QVERIFY(program.log().contains("[Config]  mqtt/host            : 127.0.0.1"));
    }

    void connectsAndLeavesItsWill()
    {
        MosquittoBroker broker;
        QVERIFY(broker.start());
        MqttObserver observer;
        QVERIFY(observer.connectTo(broker.host(), broker.port()));

        Program program(
            {"--stderr", "--host=127.0.0.1", "--port=" + QString::number(broker.port())});
        QTRY_VERIFY_WITH_TIMEOUT(program.log().contains("[GUIManager] Connected to MQTT broker"),
                                 WaitMs);
        const QString clientId = "Pernix_" + QString::number(program.process().processId());
        QVERIFY(broker.log().join('\n').contains(" as " + clientId + " "));

        // Its own status first, then the will from the broker once it vanishes.
        QTRY_COMPARE_WITH_TIMEOUT(observer.messages("velt/ui/status").size(), 1, WaitMs);
        ::kill(pid_t(program.process().processId()), SIGKILL);
        QTRY_COMPARE_WITH_TIMEOUT(observer.messages("velt/ui/status").size(), 2, WaitMs);
        const MqttObserver::Message will = observer.messages("velt/ui/status").last();
        QCOMPARE(will.payload, QByteArray("{\"service\": false}"));
    }

    // A unit on a bus network: the program opens no port of its own (its one socket goes out to
    // the broker), and the broker password never reaches its log, even at the debug level.
    void listensOnNoPortAndKeepsThePassword()
    {
        MosquittoBroker broker;
        QVERIFY(broker.start());
        const QString password = QStringLiteral("n0t-in-the-log");
        Program program({"--stderr", "-v", "3", "--host=127.0.0.1",
                         "--port=" + QString::number(broker.port()), "-u", "unit", "-p", password});
        QTRY_VERIFY_WITH_TIMEOUT(program.log().contains("[GUIManager] Connected to MQTT broker"),
                                 WaitMs);

        // The sockets the process holds, by inode, against the kernel's tables of listening TCP
        // sockets and of bound UDP ones.
        QSet<QString> inodes;
        const QString fdDir = QStringLiteral("/proc/%1/fd").arg(program.process().processId());
        for (const QFileInfo &fd : QDir(fdDir).entryInfoList(QDir::System | QDir::NoDotAndDotDot)) {
            const QString target = fd.symLinkTarget();
            const QString name = QFileInfo(target).fileName();
            if (name.startsWith("socket:["))
                inodes.insert(name.mid(8).chopped(1));
        }
        int found = 0;
        for (const char *table : {"tcp", "tcp6", "udp", "udp6"}) {
            QFile file(QStringLiteral("/proc/net/") + table);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QList<QByteArray> rows = file.readAll().split('\n');
            for (const QByteArray &row : rows.mid(1)) {
                const QList<QByteArray> fields = row.simplified().split(' ');
                if (fields.size() < 10 || !inodes.contains(QString::fromLatin1(fields.at(9))))
                    continue;
                ++found;
                const bool tcp = QByteArray(table).startsWith("tcp");
                QVERIFY2(!tcp || fields.at(3) != "0A", row.constData()); // 0A: listening
                QVERIFY2(tcp, row.constData());
            }
        }
        QVERIFY(found >= 1); // the connection to the broker, so the tables were read right

        QVERIFY(program.log().contains("[MqttClient] Username: unit"));
        QVERIFY(!program.log().contains(password));
    }

    // Every system service is asked for its state when the program connects, and again when
    // the broker comes back; what the simulator answers reaches the managers.
    void refreshesTheSystemServices()
    {
        MosquittoBroker broker;
        QVERIFY(broker.start());
        SimulatorRun simulator(broker.host(), broker.port());
        Program program(
            {"--stderr", "--host=127.0.0.1", "--port=" + QString::number(broker.port())});
        const QStringList requests = {"velt/network/ethernet/state/get",
                                      "velt/network/ethernet/config/get", "velt/device/status/get",
                                      "velt/device/clock/ntp/status/get",
                                      "velt/device/clock/ntp/config/get"};
        QTRY_VERIFY_WITH_TIMEOUT(publishedEach(broker, program, requests, 1), WaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(program.log().contains("[Network][Ethernet] Interface changed : "
                                                        "eth0"),
                                 WaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(
            program.log().contains("[Network] Processing status topic velt/network/status"),
            WaitMs);
        QCOMPARE(program.count("[Network] Refreshing data"), 1);
        QCOMPARE(program.count("[Network][Ethernet] Refreshing data"), 1);
        QCOMPARE(program.count("Refreshing Clock status and config"), 1);

        broker.stop();
        QVERIFY(broker.start());
        QTRY_VERIFY_WITH_TIMEOUT(publishedEach(broker, program, requests, 2), WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(program.count("[Network] Refreshing data"), 2, WaitMs);
        QCOMPARE(program.count("Refreshing Clock status and config"), 2);
        QCOMPARE(program.process().state(), QProcess::Running);
    }

    void configurationFileChoosesLevelAndBase()
    {
        MosquittoBroker broker;
        QVERIFY(broker.start());
        MqttObserver observer;
        QVERIFY(observer.connectTo(broker.host(), broker.port()));

        QTemporaryDir dir;
        const QString file = dir.filePath("custom.conf");
        {
            QSettings conf(file, QSettings::IniFormat);
            conf.setValue("log/level", 3);
            conf.setValue("log/stderr", true);
            conf.setValue("mqtt/host", "127.0.0.1");
            conf.setValue("mqtt/port", broker.port());
            conf.setValue("mqtt/base", "bench/ui");
            conf.setValue("topics/device", "bench/device");
            conf.setValue("topics/network", "bench/network");
        }
        Program program({"-f", file});
        QTRY_VERIFY_WITH_TIMEOUT(program.log().contains("[GUIManager] Connected to MQTT broker"),
                                 WaitMs);
        QVERIFY(program.log().contains("[MqttClient] State is Connected."));
        QVERIFY(program.log().contains("[MqttClient] Will Topic  : bench/ui/status"));
        QVERIFY(!QFile::exists(program.path("gui.conf")));
        // The update and clock managers share the device base; the network its own.
        QTRY_VERIFY_WITH_TIMEOUT(
            publishedEach(broker, program,
                          {"bench/device/status/get", "bench/device/clock/ntp/status/get",
                           "bench/network/ethernet/state/get"},
                          1),
            WaitMs);

        // Quiet again once the file says so, without a restart.
        {
            QSettings conf(file, QSettings::IniFormat);
            conf.setValue("log/level", 1);
        }
        QTRY_VERIFY_WITH_TIMEOUT(program.log().contains("WARN: Configuration file changed!"),
                                 WaitMs);
        const int connectingLines = program.count("State is Connecting.");
        broker.stop();
        QVERIFY(broker.start());
        QTRY_VERIFY_WITH_TIMEOUT(program.count("WARN: Disconnected from MQTT broker") >= 1, WaitMs);
        // Reconnected (the broker saw it), without a debug line this time.
        const QString clientId = "Pernix_" + QString::number(program.process().processId());
        QTRY_VERIFY_WITH_TIMEOUT(broker.log().join('\n').contains(" as " + clientId + " "), WaitMs);
        QCOMPARE(program.count("State is Connecting."), connectingLines);
    }
};

QTEST_GUILESS_MAIN(StartupTest)
#include "tst_startup.moc"
