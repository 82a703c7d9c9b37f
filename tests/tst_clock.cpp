#include "BrokerClient.h"
#include "Clock.h"
#include "LogCapture.h"
#include "MetaInterface.h"
#include "SignalRecorder.h"
#include "SimulatorRun.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <memory>

using manager::Clock;
using manager::MqttClient;

namespace {

const QString Base = QStringLiteral("velt/device");
const QString NtpBase = Base + QStringLiteral("/clock/ntp");
constexpr int WaitMs = 15000;

const QByteArray Zones = "Africa/Abidjan\nEurope/Athens\nUTC\n";
const QByteArray AthensStatus = "               Local time: Thu 2026-12-10 08:00:00 EET\n"
                                "           Universal time: Thu 2026-12-10 06:00:00 UTC\n"
                                "                Time zone: Europe/Athens (EET, +0200)\n"
                                "System clock synchronized: yes\n";

// A timedatectl of our own, first on PATH. For each subcommand (list-timezones, status,
// set-timezone) it prints <sub>.out, exits with <sub>.exit, and hangs while <sub>.hang exists;
// every call is appended to "calls". set-timezone also changes what status prints, as the
// system would.
class FakeTimedatectl
{
public:
    FakeTimedatectl()
    {
        QFile::copy(QStringLiteral(FAKE_TIMEDATECTL), path("timedatectl"));
        QFile::setPermissions(path("timedatectl"), QFile::ReadOwner | QFile::WriteOwner |
                                                       QFile::ExeOwner | QFile::ReadGroup |
                                                       QFile::ExeGroup);
        write("list-timezones.out", Zones);
        write("status.out", AthensStatus);
    }

    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString dir() const { return m_dir.path(); }

    void write(const QString &name, const QByteArray &content)
    {
        QFile file(path(name));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }
    void remove(const QString &name) { QFile::remove(path(name)); }

    QStringList calls() const
    {
        QFile file(path("calls"));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
        lines.removeAll(QString());
        return lines;
    }
    void clearCalls() { remove("calls"); }

private:
    QTemporaryDir m_dir;
};

// The clock fed by emitting the shared client's signal; no broker involved.
struct Local
{
    MqttClient mqtt;
    Clock clock{mqtt, Base};

    void feed(const QString &topic, const QByteArray &payload)
    {
        emit mqtt.received(payload, topic.toUtf8());
    }
};

QJsonObject ntp(const Clock &clock)
{
    return {{"server", clock.ntpServer()},
            {"enabled", clock.ntpEnabled()},
            {"synced", clock.ntpSynced()}};
}

} // namespace

class ClockTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<FakeTimedatectl> m_fake;
    QByteArray m_path;

    // Waits until every timedatectl call queued so far has ended.
    static bool settle(const Clock &clock)
    {
        return QTest::qWaitFor([&] { return !clock.busy(); }, WaitMs);
    }

private slots:
    void initTestCase() { m_path = qgetenv("PATH"); }

    void init()
    {
        // Every test starts from a system in Athens with three zones.
        m_fake = std::make_unique<FakeTimedatectl>();
        qputenv("PATH", m_fake->dir().toUtf8() + ':' + m_path);
    }

    void cleanupTestCase() { qputenv("PATH", m_path); }

    // The region page binds to these.
    void interface()
    {
        QCOMPARE(propertiesOf(Clock::staticMetaObject),
                 QStringList({"QStringList timezones timezonesChanged",
                              "QString timezone timezoneChanged writable",
                              "QString ntpServer ntpServerChanged writable",
                              "bool ntpEnabled ntpEnabledChanged writable",
                              "bool ntpSynced ntpSyncedChanged"}));
        const QMetaObject &meta = Clock::staticMetaObject;
        QVERIFY(meta.indexOfMethod("ntpSync()") >= meta.methodOffset());
        QVERIFY(meta.indexOfMethod("refresh()") >= meta.methodOffset());
    }

    void startsByReadingTheSystem()
    {
        LogCapture log;
        Local local;
        QCOMPARE(local.clock.base(), NtpBase);
        // Nothing is waited for: the values arrive later.
        QCOMPARE(local.clock.timezones(), QStringList());
        QCOMPARE(local.clock.timezone(), QString());
        QCOMPARE(ntp(local.clock),
                 QJsonObject({{"server", ""}, {"enabled", false}, {"synced", false}}));
        SignalRecorder recorder(&local.clock);
        QVERIFY(settle(local.clock));
        // The list keeps the empty name after the final line feed.
        QCOMPARE(local.clock.timezones(),
                 QStringList({"Africa/Abidjan", "Europe/Athens", "UTC", ""}));
        QCOMPARE(local.clock.timezone(), QString("Europe/Athens"));
        QCOMPARE(recorder.names(), QStringList({"timezoneChanged", "timezonesChanged"}));
        QCOMPARE(m_fake->calls(), QStringList({"--no-pager list-timezones", "status"}));
        QCOMPARE(log.lines(), QStringList());
    }

    void zoneFromStatus_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("zone");

        QTest::newRow("Athens") << AthensStatus << 0 << "Europe/Athens";
        QTest::newRow("no time zone line")
            << QByteArray("               Local time: Thu 2026-12-10 08:00:00 EET\n") << 0 << "";
        QTest::newRow("no output") << QByteArray() << 0 << "";
        QTest::newRow("zone without its abbreviation")
            << QByteArray("                Time zone: Europe/Athens\n") << 0 << "";
        QTest::newRow("a failing command") << AthensStatus << 1 << "";
        QTest::newRow("two zone lines")
            << QByteArray("Time zone: UTC (UTC, +0000)\nTime zone: Europe/Athens (EET, +0200)\n")
            << 0 << "UTC";
    }

    void zoneFromStatus()
    {
        QFETCH(QByteArray, output);
        QFETCH(int, exitCode);
        QFETCH(QString, zone);

        m_fake->write("status.out", output);
        m_fake->write("status.exit", QByteArray::number(exitCode));
        Local local;
        QVERIFY(settle(local.clock));
        QCOMPARE(local.clock.timezone(), zone);
        QCOMPARE(local.clock.timezones().size(), 4);
    }

    void missingCommand()
    {
        qputenv("PATH", QDir::temp().filePath("no-such-dir").toUtf8());
        LogCapture log;
        Local local;
        QVERIFY(settle(local.clock));
        QCOMPARE(local.clock.timezones(), QStringList());
        QCOMPARE(local.clock.timezone(), QString());
        local.clock.setTimezone("UTC");
        QVERIFY(settle(local.clock));
        QCOMPARE(local.clock.timezone(), QString());
        QCOMPARE(log.lines(), QStringList());
    }

    void setTimezone_data()
    {
        QTest::addColumn<QByteArray>("status"); // what the system says before the change
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("calls"); // after the start-up reading
        QTest::addColumn<QString>("zone");
        QTest::addColumn<int>("notifications");

        QTest::newRow("another zone")
            << AthensStatus << "UTC" << QStringList({"status", "set-timezone UTC", "status"})
            << "UTC" << 1;
        QTest::newRow("the zone already set")
            << AthensStatus << "Europe/Athens" << QStringList{"status"} << "Europe/Athens" << 0;
        // With no zone to compare with, any choice is a change.
        QTest::newRow("status without a zone")
            << QByteArray("Local time: Thu 2026-12-10 08:00:00 EET\n") << "Europe/Athens"
            << QStringList({"status", "set-timezone Europe/Athens", "status"}) << "Europe/Athens"
            << 2;
        QTest::newRow("a name with a blank stays one argument")
            << AthensStatus << "America/New York"
            << QStringList({"status", "set-timezone America/New York", "status"})
            << "America/New York" << 1;
        QTest::newRow("an option is refused")
            << AthensStatus << "--help" << QStringList() << "Europe/Athens" << 0;
        QTest::newRow("an empty name is refused")
            << AthensStatus << "" << QStringList() << "Europe/Athens" << 0;
    }

    void setTimezone()
    {
        QFETCH(QByteArray, status);
        QFETCH(QString, name);
        QFETCH(QStringList, calls);
        QFETCH(QString, zone);
        QFETCH(int, notifications);

        Local local;
        QVERIFY(settle(local.clock));
        m_fake->write("status.out", status);
        m_fake->clearCalls();
        QSignalSpy changed(&local.clock, &Clock::timezoneChanged);
        local.clock.setTimezone(name);
        QVERIFY(settle(local.clock));
        QCOMPARE(m_fake->calls(), calls);
        QCOMPARE(local.clock.timezone(), zone);
        QCOMPARE(changed.count(), notifications);
    }

    // A change that timedatectl does not finish leaves the zone as the system has it.
    void setTimezoneFails()
    {
        Local local;
        QVERIFY(settle(local.clock));
        m_fake->write("set-timezone.hang", "");
        QSignalSpy changed(&local.clock, &Clock::timezoneChanged);
        local.clock.setTimezone("UTC");
        QVERIFY(settle(local.clock));
        QCOMPARE(local.clock.timezone(), QString("Europe/Athens"));
        QCOMPARE(changed.count(), 0);
        QCOMPARE(m_fake->calls().mid(2), QStringList({"status", "set-timezone UTC", "status"}));
    }

    // The screen keeps turning while timedatectl hangs, and the call is cut after a second.
    void hangingCommand()
    {
        m_fake->write("status.hang", "");
        int ticksWhileBusy = 0;
        Local local;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            if (local.clock.busy())
                ++ticksWhileBusy;
        });
        ticker.start(20);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_fake->path("status.pid")), WaitMs);
        QVERIFY(settle(local.clock));
        QVERIFY2(ticksWhileBusy >= 2, qPrintable(QString::number(ticksWhileBusy)));
        QCOMPARE(local.clock.timezone(), QString());
        QCOMPARE(local.clock.timezones().size(), 4);

        // The hung command was killed, not left behind.
        QFile pidFile(m_fake->path("status.pid"));
        QVERIFY(pidFile.open(QIODevice::ReadOnly));
        const QString proc = "/proc/" + QString::fromLatin1(pidFile.readAll().trimmed());
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(proc), WaitMs);

        // And the next reading works again.
        m_fake->remove("status.hang");
        local.clock.refresh();
        QTRY_COMPARE_WITH_TIMEOUT(local.clock.timezone(), QString("Europe/Athens"), WaitMs);
    }

    // Readings asked for while one is running are served in order, once.
    void queuedReadings()
    {
        Local local;
        local.clock.refresh();
        local.clock.refresh();
        local.clock.setTimezone("UTC");
        local.clock.refresh();
        QVERIFY(settle(local.clock));
        QCOMPARE(local.clock.timezone(), QString("UTC"));
        const QStringList calls = m_fake->calls();
        QCOMPARE(calls.first(), QString("--no-pager list-timezones"));
        QCOMPARE(calls.count("set-timezone UTC"), 1);
        QCOMPARE(calls.last(), QString("status"));
        QVERIFY(calls.size() <= 6);
    }

    // The program keeps timedatectl quiet while it starts: what was asked meanwhile runs after.
    void heldAtStart()
    {
        Local local;
        local.clock.holdCommandsFor(24 * 3600 * 1000);
        local.clock.refresh();
        local.clock.refresh();
        QTest::qWait(200);
        QVERIFY(local.clock.busy());
        QCOMPARE(m_fake->calls(), QStringList());
        QCOMPARE(local.clock.timezones(), QStringList());

        local.clock.holdCommandsFor(0);
        QVERIFY(settle(local.clock));
        QCOMPARE(m_fake->calls(), QStringList({"--no-pager list-timezones", "status"}));
        QCOMPARE(local.clock.timezone(), QString("Europe/Athens"));
    }

    void ntpMessages_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QJsonObject>("expected"); // after a full status and configuration
        QTest::addColumn<QStringList>("signalNames");

        const QJsonObject full{{"server", "pool.ntp.org"}, {"enabled", true}, {"synced", true}};
        QTest::newRow("status: only enabled")
            << "/status" << QByteArray(R"({"enabled": true})")
            << QJsonObject{{"server", "pool.ntp.org"}, {"enabled", true}, {"synced", false}}
            << QStringList{"ntpSyncedChanged"};
        QTest::newRow("status: the same")
            << "/status" << QByteArray(R"({"enabled": true, "synced": true})") << full
            << QStringList();
        QTest::newRow("status: wrong types")
            << "/status" << QByteArray(R"({"enabled": "yes", "synced": 1})")
            << QJsonObject{{"server", "pool.ntp.org"}, {"enabled", false}, {"synced", false}}
            << QStringList({"ntpEnabledChanged", "ntpSyncedChanged"});
        QTest::newRow("status: array")
            << "/status" << QByteArray("[true, true]")
            << QJsonObject{{"server", "pool.ntp.org"}, {"enabled", false}, {"synced", false}}
            << QStringList({"ntpEnabledChanged", "ntpSyncedChanged"});
        QTest::newRow("config: another server")
            << "/config" << QByteArray(R"({"enabled": true, "server": "ntp.bus.local"})")
            << QJsonObject{{"server", "ntp.bus.local"}, {"enabled", true}, {"synced", true}}
            << QStringList{"ntpServerChanged"};
        QTest::newRow("config: wrong types")
            << "/config" << QByteArray(R"({"enabled": 1, "server": ["a"]})")
            << QJsonObject{{"server", ""}, {"enabled", false}, {"synced", true}}
            << QStringList({"ntpEnabledChanged", "ntpServerChanged"});
        // Matched anywhere in the topic.
        QTest::newRow("status: longer topic")
            << "/status/extra" << QByteArray(R"({"enabled": false, "synced": false})")
            << QJsonObject{{"server", "pool.ntp.org"}, {"enabled", false}, {"synced", false}}
            << QStringList({"ntpEnabledChanged", "ntpSyncedChanged"});
        QTest::newRow("request topic not subscribed, but matched")
            << "/config/set" << QByteArray(R"({"enabled": true, "server": "x"})")
            << QJsonObject{{"server", "x"}, {"enabled", true}, {"synced", true}}
            << QStringList{"ntpServerChanged"};
        QTest::newRow("sync topic")
            << "/sync" << QByteArray(R"({"enabled": false})") << full << QStringList();
    }

    void ntpMessages()
    {
        QFETCH(QString, suffix);
        QFETCH(QByteArray, payload);
        QFETCH(QJsonObject, expected);
        QFETCH(QStringList, signalNames);

        Local local;
        QVERIFY(settle(local.clock));
        local.feed(NtpBase + "/status", R"({"enabled": true, "synced": true})");
        local.feed(NtpBase + "/config", R"({"enabled": true, "server": "pool.ntp.org"})");
        SignalRecorder recorder(&local.clock);
        LogCapture log;
        local.feed(NtpBase + suffix, payload);
        QCOMPARE(ntp(local.clock), expected);
        QCOMPARE(recorder.names(), signalNames);
        QCOMPARE(log.lines(), QStringList());
    }

    void badMessages_data()
    {
        QTest::addColumn<QString>("topic");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QStringList>("lines");

        // The raw payload is logged, not the parser's words.
        QTest::newRow("garbage on status")
            << NtpBase + "/status" << QByteArray("enabled=1")
            << QStringList{"Failed to parse JSON message: enabled=1"};
        QTest::newRow("truncated config")
            << NtpBase + "/config" << QByteArray(R"({"server": )")
            << QStringList{R"(Failed to parse JSON message: {"server": )"};
        QTest::newRow("empty status")
            << NtpBase + "/status" << QByteArray() << QStringList{"Failed to parse JSON message: "};
        QTest::newRow("garbage elsewhere")
            << "velt/network/status" << QByteArray("enabled=1") << QStringList();
        QTest::newRow("device status")
            << Base + "/status" << QByteArray(R"({"update": {}})") << QStringList();
    }

    void badMessages()
    {
        QFETCH(QString, topic);
        QFETCH(QByteArray, payload);
        QFETCH(QStringList, lines);

        Local local;
        QVERIFY(settle(local.clock));
        local.feed(NtpBase + "/status", R"({"enabled": true, "synced": true})");
        local.feed(NtpBase + "/config", R"({"enabled": true, "server": "pool.ntp.org"})");
        const QJsonObject before = ntp(local.clock);
        SignalRecorder recorder(&local.clock);
        LogCapture log;
        local.feed(topic, payload);
        QCOMPARE(ntp(local.clock), before);
        QCOMPARE(recorder.names(), QStringList());
        QCOMPARE(log.lines(), lines);
    }

    // What reaches the broker: refresh on connection, sync, and settings only when they change.
    void requests()
    {
        BrokerClient remote;
        QVERIFY(remote.open());
        Clock clock(remote.mqtt, Base);
        LogCapture log;
        QVERIFY(remote.connectClient());
        QList<MqttObserver::Message> published;
        QVERIFY(remote.drain(published));
        QCOMPARE(log.count("Refreshing Clock status and config"), 1);
        QCOMPARE(published.size(), 2);
        QCOMPARE(published[0].topic, NtpBase + "/status/get");
        QCOMPARE(published[1].topic, NtpBase + "/config/get");
        for (const auto &message : published) {
            QCOMPARE(message.payload, QByteArray());
            QCOMPARE(message.qos, 0);
            QCOMPARE(message.retain, false);
        }

        emit remote.mqtt.received(R"({"enabled": false, "server": "pool.ntp.org"})",
                                  (NtpBase + "/config").toUtf8());
        log.clear();
        clock.ntpSync();
        clock.setNtpServer("pool.ntp.org");
        clock.setNtpEnabled(false);
        clock.setNtpServer("ntp.bus.local");
        clock.setNtpEnabled(true);
        QStringList lines = log.lines();
        // The clock's own lines carry no component prefix.
        lines.erase(std::remove_if(lines.begin(), lines.end(),
                                   [](const QString &line) { return line.startsWith('['); }),
                    lines.end());
        QCOMPARE(lines, QStringList({"Requesting NTP sync", "Setting NTP server : ntp.bus.local",
                                     "Setting NTP : enabled"}));
        QVERIFY(remote.drain(published));
        QCOMPARE(published.size(), 3);
        QCOMPARE(published[0].topic, NtpBase + "/sync");
        QCOMPARE(published[0].payload, QByteArray());
        QCOMPARE(published[1].topic, NtpBase + "/config/set");
        QCOMPARE(published[1].payload, QByteArray("{\n    \"enabled\": false,\n"
                                                  "    \"server\": \"ntp.bus.local\"\n}\n"));
        QCOMPARE(published[2].topic, NtpBase + "/config/set");
        QCOMPARE(published[2].payload, QByteArray("{\n    \"enabled\": true,\n"
                                                  "    \"server\": \"pool.ntp.org\"\n}\n"));
        // The properties wait for the service's answer.
        QCOMPARE(clock.ntpServer(), QString("pool.ntp.org"));
        QCOMPARE(clock.ntpEnabled(), false);
    }

    // Against the simulated device service.
    void simulator()
    {
        BrokerClient remote;
        QVERIFY(remote.open());
        SimulatorRun simulator(remote.broker.host(), remote.broker.port());
        Clock clock(remote.mqtt, Base);
        QVERIFY(remote.connectClient());

        QTRY_COMPARE_WITH_TIMEOUT(clock.ntpServer(), QString("pool.ntp.org"), WaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(clock.ntpEnabled() && clock.ntpSynced(), WaitMs);

        clock.setNtpServer("ntp.bus.local");
        QTRY_COMPARE_WITH_TIMEOUT(clock.ntpServer(), QString("ntp.bus.local"), WaitMs);
        clock.setNtpEnabled(false);
        QTRY_VERIFY_WITH_TIMEOUT(!clock.ntpEnabled() && !clock.ntpSynced(), WaitMs);
        QCOMPARE(clock.ntpServer(), QString("ntp.bus.local"));
        clock.setNtpEnabled(true);
        QTRY_VERIFY_WITH_TIMEOUT(clock.ntpEnabled(), WaitMs);
        QCOMPARE(clock.ntpSynced(), false);
        clock.ntpSync();
        QTRY_VERIFY_WITH_TIMEOUT(clock.ntpSynced(), WaitMs);

        QCOMPARE(simulator.execute("device ntp synced off"), QString());
        QTRY_VERIFY_WITH_TIMEOUT(!clock.ntpSynced(), WaitMs);
    }
};

QTEST_GUILESS_MAIN(ClockTest)
#include "tst_clock.moc"
