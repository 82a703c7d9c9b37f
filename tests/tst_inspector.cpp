#include "Inspector.h"
#include "LogCapture.h"
#include "MosquittoBroker.h"
#include "MqttClient.h"
#include "MqttObserver.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using manager::Inspector;
using manager::MqttClient;

namespace {

constexpr int WaitMs = 15000;
const QString Base = QStringLiteral("bus7/inspector");

QString topic(const char *suffix)
{
    return Base + QLatin1String(suffix);
}

QString logLine(const QString &text)
{
    return QStringLiteral("[Inspector] ") + text;
}

// The parser's own wording, as the critical line must repeat it.
QString parseErrorLine(const QByteArray &payload)
{
    QJsonParseError error{};
    QJsonDocument::fromJson(payload, &error);
    return logLine(QStringLiteral("Failed to parse JSON message: ") + error.errorString());
}

QStringList topicsOf(const QList<MqttObserver::Message> &messages)
{
    QStringList topics;
    for (const MqttObserver::Message &message : messages)
        topics << message.topic;
    return topics;
}

// An inspector on a connected client, with an observer on the same broker.
struct Connected
{
    explicit Connected(MosquittoBroker &broker) : broker(broker)
    {
        const QString clientId = QString::fromLatin1(QTest::currentTestFunction());
        mqtt.setHostname(broker.host());
        mqtt.setPort(broker.port());
        mqtt.setClientId(clientId);
        mqtt.setRetryMillis(300);
    }

    bool connect()
    {
        if (!observer.connectTo(broker.host(), broker.port()))
            return false;
        QSignalSpy connected(&mqtt, &MqttClient::connected);
        mqtt.connect();
        return connected.count() > 0 || connected.wait(WaitMs);
    }

    MosquittoBroker &broker;
    MqttObserver observer;
    MqttClient mqtt;
    Inspector inspector{mqtt, Base};
};

} // namespace

class InspectorTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_broker = std::make_unique<MosquittoBroker>();
        QVERIFY(m_broker->start());
    }

    void startsEmpty()
    {
        MqttClient mqtt;
        LogCapture log;
        Inspector inspector(mqtt, Base);
        QCOMPARE(inspector.base(), Base);
        QVERIFY(inspector.info().isEmpty());
        QCOMPARE(inspector.status(), QString());
        QCOMPARE(inspector.audioVolume(), 0);
        QCOMPARE(inspector.shutdownRemainingMs(), -1);
        QCOMPARE(log.lines(), QStringList{logLine("Subscribing to topics")});
    }

    void subscribesAndRefreshesOnConnection()
    {
        Connected c(*m_broker);
        QVERIFY(c.connect());

        const QStringList subscribed = {topic("/info"),         topic("/status"),
                                        topic("/audio"),        topic("/stats/cpu"),
                                        topic("/stats/memory"), topic("/stats/disk")};
        QTRY_COMPARE_WITH_TIMEOUT(m_broker->subscriptions("subscribesAndRefreshesOnConnection"),
                                  subscribed, WaitMs);

        const QStringList requests = {topic("/audio/get"), topic("/stats/memory/get"),
                                      topic("/stats/disk/get"), topic("/stats/cpu/get")};
        QTRY_COMPARE_WITH_TIMEOUT(topicsOf(c.observer.messages()), requests, WaitMs);

        // And whenever asked, in the same order, each with the text "{}".
        c.observer.clear();
        LogCapture log;
        c.inspector.refresh();
        QCOMPARE(log.count(logLine("Refreshing data")), 1);
        QTRY_COMPARE_WITH_TIMEOUT(topicsOf(c.observer.messages()), requests, WaitMs);
        for (const MqttObserver::Message &message : c.observer.messages()) {
            QCOMPARE(message.payload, QByteArray("{}"));
            QCOMPARE(message.qos, 0);
            QCOMPARE(message.retain, false);
        }
    }

    void monitorRefreshesUntilStopped()
    {
        MqttClient mqtt;
        Inspector inspector(mqtt, Base);
        LogCapture log;

        inspector.monitor(50);
        QCOMPARE(log.lines(), QStringList({logLine("Monitor started : 50 msec(s)"),
                                           logLine("Refreshing data")}));
        QTRY_VERIFY_WITH_TIMEOUT(log.count(logLine("Refreshing data")) >= 3, WaitMs);

        inspector.monitor(0);
        QCOMPARE(log.lines().constLast(), logLine("Monitor stopped"));
        log.clear();
        // A timer of the monitor's period started after the stop: by its third tick a monitor
        // still running would have refreshed at least twice.
        QTimer marker;
        marker.setInterval(50);
        QSignalSpy ticks(&marker, &QTimer::timeout);
        marker.start();
        QTRY_VERIFY_WITH_TIMEOUT(ticks.count() >= 3, WaitMs);
        QCOMPARE(log.count(logLine("Refreshing data")), 0);
    }

    void audioRequests()
    {
        Connected c(*m_broker);
        QVERIFY(c.connect());
        QSignalSpy changed(&c.inspector, &Inspector::audioVolumeChanged);
        LogCapture log;

        // Writing the property only asks; the value follows the service's report.
        QVERIFY(c.inspector.setProperty("audioVolume", 40));
        QCOMPARE(log.count(logLine("Setting 'internal' audio volume : 40%")), 1);
        QTRY_COMPARE_WITH_TIMEOUT(c.observer.messages(topic("/audio/set")).size(), 1, WaitMs);
        const MqttObserver::Message set = c.observer.messages(topic("/audio/set")).first();
        QCOMPARE(set.payload,
                 QByteArray("{\n    \"internal\": {\n        \"volume\": 40\n    }\n}\n"));
        QCOMPARE(set.qos, 0);
        QCOMPARE(set.retain, false);
        QCOMPARE(c.inspector.audioVolume(), 0);
        QCOMPARE(changed.count(), 0);

        emit c.mqtt.received(R"({"internal": {"volume": 40}})", topic("/audio").toUtf8());
        QCOMPARE(c.inspector.audioVolume(), 40);
        QCOMPARE(changed.count(), 1);

        c.inspector.audioPlay("/opt/velt/pernix/Valid.wav");
        QCOMPARE(log.count(logLine("Playing audio file (card='internal') : "
                                   "/opt/velt/pernix/Valid.wav")),
                 1);
        // Passed through as given, whether or not such a file exists.
        const QString odd = QString::fromUtf8("/no such/dir/ήχος \"1\".wav");
        c.inspector.audioPlay(odd);
        QTRY_COMPARE_WITH_TIMEOUT(c.observer.messages(topic("/audio/play")).size(), 2, WaitMs);
        const QList<MqttObserver::Message> plays = c.observer.messages(topic("/audio/play"));
        QCOMPARE(plays.at(0).payload,
                 QByteArray("{\n    \"device\": \"internal\",\n    "
                            "\"filepath\": \"/opt/velt/pernix/Valid.wav\"\n}\n"));
        QCOMPARE(plays.at(0).qos, 0);
        QCOMPARE(plays.at(0).retain, false);
        const QJsonObject second = QJsonDocument::fromJson(plays.at(1).payload).object();
        QCOMPARE(second.value("device").toString(), QString("internal"));
        QCOMPARE(second.value("filepath").toString(), odd);
        QCOMPARE(second.size(), 2);
    }

    void rebootIsRequestedTwoSecondsLater()
    {
        Connected c(*m_broker);
        QVERIFY(c.connect());
        QSignalSpy started(&c.inspector, &Inspector::systemRebootStarted);
        LogCapture log;

        QElapsedTimer elapsed;
        elapsed.start();
        c.inspector.systemReboot();
        QCOMPARE(started.count(), 1);
        QCOMPARE(log.count(logLine("Requesting System reboot")), 1);

        // Anything published right after the announcement overtakes the request.
        c.inspector.audioPlay("/opt/velt/pernix/Valid.wav");
        QTRY_COMPARE_WITH_TIMEOUT(c.observer.messages(topic("/audio/play")).size(), 1, WaitMs);
        QCOMPARE(c.observer.messages(topic("/power/reboot/request/1")).size(), 0);

        QTRY_COMPARE_WITH_TIMEOUT(c.observer.messages(topic("/power/reboot/request/1")).size(), 1,
                                  WaitMs);
        // A lower bound only: the delay cannot end early.
        QVERIFY(elapsed.elapsed() >= 1500);
        const MqttObserver::Message request =
            c.observer.messages(topic("/power/reboot/request/1")).first();
        QCOMPARE(request.payload, QByteArray());
        QCOMPARE(request.qos, 0);
        QCOMPARE(request.retain, false);
        QCOMPARE(started.count(), 1);
        QCOMPARE(c.observer.messages(topic("/power/shutdown/request/1")).size(), 0);
    }

    void scheduledShutdown()
    {
        Connected c(*m_broker);
        QVERIFY(c.connect());
        QSignalSpy started(&c.inspector, &Inspector::systemShutdownStarted);
        LogCapture log;

        // The first schedule stands and its deadline does not move.
        c.inspector.scheduleShutdown(60);
        c.inspector.scheduleShutdown(5);
        const int remaining = c.inspector.shutdownRemainingMs();
        QVERIFY2(remaining > 50000 && remaining <= 60000, qPrintable(QString::number(remaining)));
        QCOMPARE(log.lines(), QStringList{logLine("Scheduling System shutdown in : 60 sec(s)")});

        c.inspector.abortShutdown();
        QCOMPARE(c.inspector.shutdownRemainingMs(), -1);
        QCOMPARE(log.lines().constLast(), logLine("Aborting System shutdown"));

        // Nothing armed: nothing to say.
        log.clear();
        c.inspector.abortShutdown();
        QVERIFY(log.lines().isEmpty());

        c.inspector.scheduleShutdown(1);
        QVERIFY(c.inspector.shutdownRemainingMs() > 0);
        QVERIFY(c.inspector.shutdownRemainingMs() <= 1000);
        QCOMPARE(started.count(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(started.count(), 1, WaitMs);
        QCOMPARE(c.inspector.shutdownRemainingMs(), -1);
        QCOMPARE(log.count(logLine("Requesting System shutdown")), 1);
        QCOMPARE(c.observer.messages(topic("/power/shutdown/request/1")).size(), 0);

        // Once announced the request follows; aborting now changes nothing.
        c.inspector.abortShutdown();
        QCOMPARE(log.count(logLine("Aborting System shutdown")), 0);
        QTRY_COMPARE_WITH_TIMEOUT(c.observer.messages(topic("/power/shutdown/request/1")).size(), 1,
                                  WaitMs);
        QCOMPARE(c.observer.messages(topic("/power/shutdown/request/1")).first().payload,
                 QByteArray());
        QCOMPARE(started.count(), 1);
        QCOMPARE(c.observer.messages(topic("/power/reboot/request/1")).size(), 0);
    }

    void impossibleDelaysStillSchedule_data()
    {
        QTest::addColumn<int>("sec");
        QTest::addColumn<int>("armedSec");

        QTest::newRow("zero") << 0 << 0;
        QTest::newRow("negative") << -5 << 0;
        QTest::newRow("beyond a timer") << std::numeric_limits<int>::max() << 2147483;
    }

    void impossibleDelaysStillSchedule()
    {
        QFETCH(int, sec);
        QFETCH(int, armedSec);
        MqttClient mqtt;
        Inspector inspector(mqtt, Base);
        LogCapture log;

        inspector.scheduleShutdown(sec);
        QVERIFY(inspector.shutdownRemainingMs() >= 0);
        QVERIFY(inspector.shutdownRemainingMs() <= armedSec * 1000);
        QCOMPARE(log.lines(), QStringList{logLine(QStringLiteral("Scheduling System shutdown in : "
                                                                 "%1 sec(s)")
                                                      .arg(armedSec))});
        inspector.abortShutdown();
        QCOMPARE(inspector.shutdownRemainingMs(), -1);
    }

    void infoReport_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("version");

        QTest::newRow("version") << QByteArray(R"({"service": {"version": "2.4.1"}})") << "2.4.1";
        QTest::newRow("further keys")
            << QByteArray(R"({"service": {"version": "3.0", "uptime": 12}, "os": "linux"})")
            << "3.0";
        QTest::newRow("no version") << QByteArray(R"({"service": {}})") << "";
    }

    void infoReport()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QString, version);
        MqttClient mqtt;
        Inspector inspector(mqtt, Base);
        QSignalSpy changed(&inspector, &Inspector::infoChanged);
        LogCapture log;

        // Notified every time, even when nothing differs.
        emit mqtt.received(payload, topic("/info").toUtf8());
        emit mqtt.received(payload, topic("/info").toUtf8());
        QCOMPARE(inspector.info(), QVariantMap({{"version", version}}));
        QCOMPARE(changed.count(), 2);
        QCOMPARE(log.count(logLine("Processing info topic ") + topic("/info")), 2);
    }

    void statusReport_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("status");

        QTest::newRow("running") << QByteArray(R"({"service": true})") << "online";
        QTest::newRow("stopped") << QByteArray(R"({"service": false})") << "offline";
        QTest::newRow("missing") << QByteArray(R"({"version": "1"})") << "offline";
        QTest::newRow("text true") << QByteArray(R"({"service": "true"})") << "offline";
        QTest::newRow("number 1") << QByteArray(R"({"service": 1})") << "offline";
        QTest::newRow("null") << QByteArray(R"({"service": null})") << "offline";
    }

    void statusReport()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QString, status);
        MqttClient mqtt;
        Inspector inspector(mqtt, Base);
        QSignalSpy changed(&inspector, &Inspector::statusChanged);
        LogCapture log;

        emit mqtt.received(payload, topic("/status").toUtf8());
        emit mqtt.received(payload, topic("/status").toUtf8());
        QCOMPARE(inspector.status(), status);
        QCOMPARE(changed.count(), 1);
        const QString processing = logLine("Processing status topic ") + topic("/status");
        QCOMPARE(log.lines(),
                 QStringList({processing, logLine("Status changed : ") + status, processing}));
    }

    void statusFollowsTheService()
    {
        MqttClient mqtt;
        Inspector inspector(mqtt, Base);
        QSignalSpy changed(&inspector, &Inspector::statusChanged);

        const QByteArray statusTopic = topic("/status").toUtf8();
        emit mqtt.received(R"({"service": true})", statusTopic);
        emit mqtt.received(R"({"service": false})", statusTopic);
        emit mqtt.received(R"({"service": true})", statusTopic);
        QCOMPARE(inspector.status(), QString("online"));
        QCOMPARE(changed.count(), 3);
    }

    void audioReport_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("volume");
        QTest::addColumn<int>("changes");

        // Each row starts from a reported volume of 30.
        QTest::newRow("new volume") << QByteArray(R"({"internal": {"volume": 40}})") << 40 << 1;
        QTest::newRow("same volume") << QByteArray(R"({"internal": {"volume": 30}})") << 30 << 0;
        QTest::newRow("zero") << QByteArray(R"({"internal": {"volume": 0}})") << 0 << 1;
        QTest::newRow("full") << QByteArray(R"({"internal": {"volume": 100}})") << 100 << 1;
        QTest::newRow("whole number written as fraction")
            << QByteArray(R"({"internal": {"volume": 55.0}})") << 55 << 1;
        QTest::newRow("further keys")
            << QByteArray(R"({"internal": {"volume": 70, "muted": false}, "usb": {"volume": 5}})")
            << 70 << 1;
        QTest::newRow("no internal card") << QByteArray(R"({"usb": {"volume": 70}})") << 0 << 1;
        QTest::newRow("empty object") << QByteArray("{}") << 0 << 1;
        QTest::newRow("fraction") << QByteArray(R"({"internal": {"volume": 30.5}})") << 0 << 1;
        QTest::newRow("text") << QByteArray(R"({"internal": {"volume": "30"}})") << 0 << 1;
        QTest::newRow("beyond int") << QByteArray(R"({"internal": {"volume": 1e20}})") << 0 << 1;
    }

    void audioReport()
    {
        QFETCH(QByteArray, payload);
        QFETCH(int, volume);
        QFETCH(int, changes);
        MqttClient mqtt;
        Inspector inspector(mqtt, Base);
        const QByteArray audioTopic = topic("/audio").toUtf8();
        emit mqtt.received(R"({"internal": {"volume": 30}})", audioTopic);
        QCOMPARE(inspector.audioVolume(), 30);

        QSignalSpy changed(&inspector, &Inspector::audioVolumeChanged);
        LogCapture log;
        emit mqtt.received(payload, audioTopic);
        QCOMPARE(inspector.audioVolume(), volume);
        QCOMPARE(inspector.property("audioVolume").toInt(), volume);
        QCOMPARE(changed.count(), changes);

        // A repeated report changes nothing more.
        emit mqtt.received(payload, audioTopic);
        QCOMPARE(changed.count(), changes);
        QVERIFY(log.lines().isEmpty());
    }

    void badInput_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("critical");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("volume");
        QTest::addColumn<int>("signalCount");

        // Before each row: version "1.0", "online", volume 30.
        const QByteArray garbage("volume=40 \x01\xff");
        const QByteArray truncated(R"({"service": {"version": "2.0")");
        const QByteArray array(R"([{"service": true}, {"internal": {"volume": 80}}])");

        QTest::newRow("info: garbage") << "/info" << garbage << true << "1.0"
                                       << "online" << 30 << 0;
        QTest::newRow("info: truncated") << "/info" << truncated << true << "1.0"
                                         << "online" << 30 << 0;
        QTest::newRow("info: array") << "/info" << array << false << ""
                                     << "online" << 30 << 1;
        QTest::newRow("info: service as text")
            << "/info" << QByteArray(R"({"service": "2.0"})") << false << ""
            << "online" << 30 << 1;
        QTest::newRow("info: version as number")
            << "/info" << QByteArray(R"({"service": {"version": 2}})") << false << ""
            << "online" << 30 << 1;
        QTest::newRow("info: missing keys") << "/info" << QByteArray("{}") << false << ""
                                            << "online" << 30 << 1;
        QTest::newRow("info: empty") << "/info" << QByteArray() << false << ""
                                     << "online" << 30 << 1;

        QTest::newRow("status: garbage") << "/status" << garbage << true << "1.0"
                                         << "online" << 30 << 0;
        QTest::newRow("status: array") << "/status" << array << false << "1.0"
                                       << "offline" << 30 << 1;
        QTest::newRow("status: service as object")
            << "/status" << QByteArray(R"({"service": {"running": true}})") << false << "1.0"
            << "offline" << 30 << 1;
        QTest::newRow("status: missing keys") << "/status" << QByteArray("{}") << false << "1.0"
                                              << "offline" << 30 << 1;
        QTest::newRow("status: empty") << "/status" << QByteArray() << false << "1.0"
                                       << "offline" << 30 << 1;
        // Not a document to this parser: only objects and arrays are.
        QTest::newRow("status: bare true") << "/status" << QByteArray("true") << true << "1.0"
                                           << "online" << 30 << 0;

        QTest::newRow("audio: garbage") << "/audio" << garbage << true << "1.0"
                                        << "online" << 30 << 0;
        QTest::newRow("audio: array") << "/audio" << array << false << "1.0"
                                      << "online" << 0 << 1;
        QTest::newRow("audio: internal as number")
            << "/audio" << QByteArray(R"({"internal": 40})") << false << "1.0"
            << "online" << 0 << 1;
        QTest::newRow("audio: internal as array")
            << "/audio" << QByteArray(R"({"internal": [40]})") << false << "1.0"
            << "online" << 0 << 1;
        QTest::newRow("audio: missing keys")
            << "/audio" << QByteArray(R"({"internal": {}})") << false << "1.0"
            << "online" << 0 << 1;
        QTest::newRow("audio: empty") << "/audio" << QByteArray() << false << "1.0"
                                      << "online" << 0 << 1;

        // Statistics reports are read and otherwise ignored.
        for (const char *suffix : {"/stats/cpu", "/stats/memory", "/stats/disk"}) {
            const QString name(suffix);
            QTest::newRow(qPrintable(name + ": garbage")) << name << garbage << true << "1.0"
                                                          << "online" << 30 << 0;
            QTest::newRow(qPrintable(name + ": array")) << name << array << false << "1.0"
                                                        << "online" << 30 << 0;
            QTest::newRow(qPrintable(name + ": wrong types"))
                << name << QByteArray(R"({"service": false, "internal": {"volume": 90}})") << false
                << "1.0"
                << "online" << 30 << 0;
            QTest::newRow(qPrintable(name + ": missing keys"))
                << name << QByteArray("{}") << false << "1.0"
                << "online" << 30 << 0;
            QTest::newRow(qPrintable(name + ": empty")) << name << QByteArray() << false << "1.0"
                                                        << "online" << 30 << 0;
        }
    }

    void badInput()
    {
        QFETCH(QString, suffix);
        QFETCH(QByteArray, payload);
        QFETCH(bool, critical);
        QFETCH(QString, version);
        QFETCH(QString, status);
        QFETCH(int, volume);
        QFETCH(int, signalCount);
        MqttClient mqtt;
        Inspector inspector(mqtt, Base);
        emit mqtt.received(R"({"service": {"version": "1.0"}})", topic("/info").toUtf8());
        emit mqtt.received(R"({"service": true})", topic("/status").toUtf8());
        emit mqtt.received(R"({"internal": {"volume": 30}})", topic("/audio").toUtf8());

        QSignalSpy info(&inspector, &Inspector::infoChanged);
        QSignalSpy statusSpy(&inspector, &Inspector::statusChanged);
        QSignalSpy volumeSpy(&inspector, &Inspector::audioVolumeChanged);
        LogCapture log;
        emit mqtt.received(payload, (Base + suffix).toUtf8());

        QCOMPARE(inspector.info(), QVariantMap({{"version", version}}));
        QCOMPARE(inspector.status(), status);
        QCOMPARE(inspector.audioVolume(), volume);
        QCOMPARE(info.count() + statusSpy.count() + volumeSpy.count(), signalCount);
        const QString failure = logLine("Failed to parse JSON message: ");
        QCOMPARE(log.countStartingWith(failure), critical ? 1 : 0);
        if (critical)
            QCOMPARE(log.lines(), QStringList{parseErrorLine(payload)});
    }

    void foreignTopicsIgnored_data()
    {
        QTest::addColumn<QString>("topic");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("critical");

        const QByteArray status(R"({"service": false})");
        const QByteArray audio(R"({"internal": {"volume": 90}})");
        const QByteArray garbage("not json");

        QTest::newRow("other service") << "bus7/board/status" << status << false;
        QTest::newRow("other service, garbage") << "bus7/board/status" << garbage << false;
        QTest::newRow("default base") << "velt/inspector/status" << status << false;
        QTest::newRow("other case") << "BUS7/INSPECTOR/audio" << audio << false;
        QTest::newRow("base cut short") << "bus7/inspecto/audio" << audio << false;
        QTest::newRow("empty topic") << "" << garbage << false;
        QTest::newRow("base itself") << Base << status << false;
        QTest::newRow("deeper under base") << Base + "/status/extra" << status << false;
        QTest::newRow("request topic") << Base + "/audio/set" << audio << false;
        QTest::newRow("base inside another") << "x/" + Base + "/audio" << audio << false;
        // Still read before being dropped.
        QTest::newRow("unknown under base, garbage") << Base + "/stats/gpu" << garbage << true;
    }

    void foreignTopicsIgnored()
    {
        QFETCH(QString, topic);
        QFETCH(QByteArray, payload);
        QFETCH(bool, critical);
        MqttClient mqtt;
        Inspector inspector(mqtt, Base);
        emit mqtt.received(R"({"service": true})", ::topic("/status").toUtf8());
        emit mqtt.received(R"({"internal": {"volume": 30}})", ::topic("/audio").toUtf8());

        QSignalSpy statusSpy(&inspector, &Inspector::statusChanged);
        QSignalSpy volumeSpy(&inspector, &Inspector::audioVolumeChanged);
        QSignalSpy info(&inspector, &Inspector::infoChanged);
        LogCapture log;
        emit mqtt.received(payload, topic.toUtf8());

        QCOMPARE(inspector.status(), QString("online"));
        QCOMPARE(inspector.audioVolume(), 30);
        QVERIFY(inspector.info().isEmpty());
        QCOMPARE(statusSpy.count() + volumeSpy.count() + info.count(), 0);
        QCOMPARE(log.lines(), critical ? QStringList{parseErrorLine(payload)} : QStringList());
    }

private:
    std::unique_ptr<MosquittoBroker> m_broker;
};

QTEST_GUILESS_MAIN(InspectorTest)
#include "tst_inspector.moc"
