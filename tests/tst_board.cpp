#include "Board.h"
#include "BrokerClient.h"
#include "LogCapture.h"
#include "MetaInterface.h"
#include "MosquittoBroker.h"
#include "MqttClient.h"
#include "MqttObserver.h"
#include "SignalRecorder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTimer>
#include <QTranslator>
#include <QtTest>

#include <functional>
#include <memory>
#include <vector>

using manager::Board;
using manager::MqttClient;

using Action = std::function<void(Board &)>;
Q_DECLARE_METATYPE(Action)

namespace {

const QString Base = QStringLiteral("velt/board");
constexpr int WaitMs = 15000;

const QByteArray FullStatus =
    R"({"service": true, "device": {"active": true, "ignition": true, "poleId": "P7",
        "temperature": 41.5, "voltage": 24.2, "uptime": 3600,
        "hardwareStatus": {"rtcFailed": true}}})";
const QByteArray FullInfo =
    R"({"device": {"firmwareVersion": "2.1.0", "hardwareId": "HW-42", "hardwareVersion": "rev C"},
        "service": {"version": "1.4.2"}})";

QJsonObject json(const QByteArray &text)
{
    return QJsonDocument::fromJson(text).object();
}

QString compact(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

// Everything the manager shows, as one comparable text.
QString snapshot(const Board &board)
{
    return compact(QJsonObject::fromVariantMap({
        {"status", board.status()},
        {"ignition", board.ignition()},
        {"poleId", board.poleId()},
        {"temperature", board.temperature()},
        {"voltage", board.voltage()},
        {"uptime", board.uptime()},
        {"rtcFailed", board.rtcFailed()},
        {"displayBrightness", board.displayBrightness()},
        {"ambientLightSensor", board.ambientLightSensor()},
        {"displayBrightnessMode", board.displayBrightnessMode()},
        {"info", board.info()},
        {"audioEnabled", board.audioEnabled()},
        {"peripherals", board.peripherals()},
        {"delayShutdownFor", board.delayShutdownFor()},
    }));
}

QString withChanges(const QString &before, const QVariantMap &changes)
{
    QJsonObject object = json(before.toUtf8());
    for (auto it = changes.constBegin(); it != changes.constEnd(); ++it)
        object.insert(it.key(), QJsonValue::fromVariant(it.value()));
    return compact(object);
}

QStringList repeated(int n, const QString &text)
{
    QStringList list;
    for (int i = 0; i < n; ++i)
        list << text;
    return list;
}

QStringList boardLines(const LogCapture &log)
{
    QStringList lines;
    for (const QString &line : log.lines()) {
        if (line.startsWith("[Board] "))
            lines.append(line);
    }
    return lines;
}

// A manager fed by emitting the shared client's signal; no broker involved.
struct Local
{
    MqttClient mqtt;
    Board board{mqtt, Base};

    void feed(const QString &suffix, const QByteArray &payload)
    {
        emit mqtt.received(payload, (Base + suffix).toUtf8());
    }

    void populate()
    {
        feed("/status", FullStatus);
        feed("/display", R"({"brightness": 80, "sensor": 300, "mode": "auto"})");
        feed("/power", R"({"display": true, "usbHub": false})");
        feed("/audio", R"({"mute": true})");
        feed("/config", R"({"device": {"delayShutdownFor": 30}})");
        feed("/info", FullInfo);
    }
};

// Tags every text of the manager's context, so a test sees what was translated and when.
class TaggingTranslator : public QTranslator
{
public:
    QString translate(const char *context, const char *sourceText, const char *, int) const override
    {
        if (QByteArray(context) != "manager::Board")
            return QString();
        return "el:" + QString::fromUtf8(sourceText);
    }
    bool isEmpty() const override { return false; }
};

} // namespace

class BoardTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<BrokerClient> m_remote;

private slots:
    void initTestCase()
    {
        m_remote = std::make_unique<BrokerClient>();
        QVERIFY(m_remote->open());
        QVERIFY(m_remote->connectClient());
    }

    void cleanupTestCase() { m_remote.reset(); }

    void interface()
    {
        QCOMPARE(propertiesOf(Board::staticMetaObject),
                 QStringList({
                     "bool ignition ignitionChanged",
                     "QString poleId poleIdChanged",
                     "double temperature temperatureChanged",
                     "double voltage voltageChanged",
                     "int displayBrightness displayBrightnessChanged writable",
                     "QString displayBrightnessMode displayBrightnessModeChanged "
                     "writable",
                     "int ambientLightSensor ambientLightSensorChanged",
                     "QVariantMap info infoChanged",
                     "bool audioEnabled audioEnabledChanged writable",
                     "QVariantList peripherals peripheralsChanged writable",
                     "bool rtcFailed rtcFailedChanged",
                     "int delayShutdownFor delayShutdownForChanged writable",
                 }));

        QCOMPARE(
            signalsOf(Board::staticMetaObject),
            QStringList({"infoChanged()", "statusChanged()", "ignitionChanged()", "poleIdChanged()",
                         "temperatureChanged()", "voltageChanged()", "uptimeChanged()",
                         "peripheralPowerChanged(QString,bool)", "audioEnabledChanged()",
                         "rtcFailedChanged()", "displayBrightnessChanged()",
                         "displayBrightnessModeChanged()", "ambientLightSensorChanged()",
                         "peripheralsChanged()", "delayShutdownForChanged()"}));
    }

    void initialState()
    {
        Local local;
        QCOMPARE(snapshot(local.board),
                 compact(json(R"({"status": "", "ignition": false, "poleId": "",
                    "temperature": 0, "voltage": 0, "uptime": 0, "rtcFailed": false,
                    "displayBrightness": 0, "ambientLightSensor": 0, "displayBrightnessMode": "",
                    "info": {}, "audioEnabled": true, "peripherals": [], "delayShutdownFor": 0})")));
        QCOMPARE(local.board.base(), Base);
        QVERIFY(!local.board.findChild<QTimer *>()->isActive());
    }

    void connection()
    {
        BrokerClient remote;
        QVERIFY(remote.open());
        LogCapture log;
        Board board(remote.mqtt, Base);
        QCOMPARE(boardLines(log), QStringList{"[Board] Subscribing to topics"});

        remote.mqtt.setClientId("tst_board");
        QVERIFY(remote.connectClient());
        QTRY_COMPARE_WITH_TIMEOUT(
            remote.broker.subscriptions("tst_board"),
            QStringList({Base + "/info", Base + "/status", Base + "/config", Base + "/display",
                         Base + "/power", Base + "/audio", Base + "/event"}),
            WaitMs);

        // Connecting refreshes everything the service answers on request.
        QList<MqttObserver::Message> sent;
        QVERIFY(remote.drain(sent));
        QStringList topics;
        for (const auto &m : sent) {
            topics << m.topic;
            QCOMPARE(m.payload, QByteArray("{}"));
            QCOMPARE(m.qos, 0);
            QCOMPARE(m.retain, false);
        }
        QCOMPARE(topics, QStringList({Base + "/status/get", Base + "/display/get",
                                      Base + "/power/get", Base + "/audio/get"}));
        QCOMPARE(log.count("[Board] Refreshing data"), 1);

        // So does every reconnection.
        QSignalSpy disconnected(&remote.mqtt, &MqttClient::disconnected);
        remote.broker.stop();
        QTRY_VERIFY_WITH_TIMEOUT(disconnected.count() >= 1, WaitMs);
        QVERIFY(remote.broker.start());
        QTRY_COMPARE_WITH_TIMEOUT(log.count("[Board] Refreshing data"), 2, WaitMs);
    }

    void refresh()
    {
        Board board(m_remote->mqtt, Base);
        QList<MqttObserver::Message> sent;
        QVERIFY(m_remote->drain(sent));

        LogCapture log;
        board.refresh();
        QVERIFY(m_remote->drain(sent));
        QStringList topics;
        for (const auto &m : sent) {
            topics << m.topic;
            QCOMPARE(m.payload, QByteArray("{}"));
        }
        QCOMPARE(topics, QStringList({Base + "/status/get", Base + "/display/get",
                                      Base + "/power/get", Base + "/audio/get"}));
        QCOMPARE(boardLines(log), QStringList{"[Board] Refreshing data"});
    }

    void requests_data()
    {
        QTest::addColumn<Action>("action");
        QTest::addColumn<QString>("topic");
        QTest::addColumn<QByteArray>("payload"); // empty: an empty message
        QTest::addColumn<QString>("logLine");    // empty: nothing logged

        QTest::newRow("brightness")
            << Action([](Board &b) { b.setDisplayBrightness(70); }) << "/display/set"
            << QByteArray(R"({"brightness": 70})") << "[Board] Setting display brightness : 70";
        QTest::newRow("brightness property")
            << Action([](Board &b) { b.setProperty("displayBrightness", 15); }) << "/display/set"
            << QByteArray(R"({"brightness": 15})") << "[Board] Setting display brightness : 15";
        QTest::newRow("brightness mode")
            << Action([](Board &b) { b.setDisplayBrightnessMode("manual"); }) << "/display/set"
            << QByteArray(R"({"mode": "manual"})")
            << "[Board] Setting display brightness mode : manual";
        QTest::newRow("audio on") << Action([](Board &b) { b.setAudioEnabled(true); })
                                  << "/audio/set" << QByteArray(R"({"mute": false})")
                                  << "[Board] Setting audio enabled : true";
        QTest::newRow("audio off property")
            << Action([](Board &b) { b.setProperty("audioEnabled", false); }) << "/audio/set"
            << QByteArray(R"({"mute": true})") << "[Board] Setting audio enabled : false";
        QTest::newRow("power on") << Action([](Board &b) { b.setPeripheralPower("display", true); })
                                  << "/power/set" << QByteArray(R"({"display": true})")
                                  << "[Board] Setting peripheral power: display (true)";
        QTest::newRow("power off")
            << Action([](Board &b) { b.setPeripheralPower("qrReader", false); }) << "/power/set"
            << QByteArray(R"({"qrReader": false})")
            << "[Board] Setting peripheral power: qrReader (false)";
        QTest::newRow("shutdown delay")
            << Action([](Board &b) { b.setDelayShutdownFor(45); }) << "/config/set"
            << QByteArray(R"({"device": {"delayShutdownFor": 45}})")
            << "[Board] Setting board shutdown delay : 45 sec(s)";
        QTest::newRow("buzzer, default repeat")
            << Action([](Board &b) { b.playBuzzer(100, 200); }) << "/buzzer/play/request/1"
            << QByteArray(R"({"onMsec": 100, "offMsec": 200, "repeat": 0})")
            << "[Board] Playing buzzer : on=100 msec, off=200 msec, repeat=0";
        QTest::newRow("buzzer, repeat")
            << Action([](Board &b) {
                   QMetaObject::invokeMethod(&b, "playBuzzer", Q_ARG(int, 100), Q_ARG(int, 200),
                                             Q_ARG(int, 3));
               })
            << "/buzzer/play/request/1"
            << QByteArray(R"({"onMsec": 100, "offMsec": 200, "repeat": 3})")
            << "[Board] Playing buzzer : on=100 msec, off=200 msec, repeat=3";
        QTest::newRow("led valid")
            << Action([](Board &b) { b.setLedValid(); }) << "/led/play/request/1"
            << QByteArray(R"({"repeat": 3, "steps": [
                   {"color": {"r": 0, "g": 255, "b": 0}, "duration": 100},
                   {"color": {"r": 0, "g": 0, "b": 0}, "duration": 50}]})")
            << "[Board] Setting LEDs to : VALID";
        QTest::newRow("led invalid")
            << Action([](Board &b) { b.setLedInvalid(); }) << "/led/play/request/1"
            << QByteArray(R"({"repeat": 3, "steps": [
                   {"color": {"r": 255, "g": 0, "b": 0}, "duration": 100},
                   {"color": {"r": 0, "g": 0, "b": 0}, "duration": 50}]})")
            << "[Board] Setting LEDs to : INVALID";
        QTest::newRow("led test") << Action([](Board &b) { b.setLedTestPattern(); })
                                  << "/led/play/request/1"
                                  << QByteArray(R"({"repeat": 30, "steps": [
                   {"color": {"r": 255, "g": 0, "b": 0}, "duration": 1000},
                   {"color": {"r": 0, "g": 0, "b": 0}, "duration": 200},
                   {"color": {"r": 0, "g": 255, "b": 0}, "duration": 1000},
                   {"color": {"r": 0, "g": 0, "b": 0}, "duration": 200}]})")
                                  << "[Board] Setting LEDs to : TEST";
        QTest::newRow("led off") << Action([](Board &b) { b.setLedOff(); }) << "/led/off/request/1"
                                 << QByteArray() << QString();
    }

    void requests()
    {
        QFETCH(Action, action);
        QFETCH(QString, topic);
        QFETCH(QByteArray, payload);
        QFETCH(QString, logLine);

        Board board(m_remote->mqtt, Base);
        emit m_remote->mqtt.received(FullStatus, (Base + "/status").toUtf8());
        emit m_remote->mqtt.received(R"({"mute": true})", (Base + "/audio").toUtf8());
        QList<MqttObserver::Message> sent;
        QVERIFY(m_remote->drain(sent));
        const QString before = snapshot(board);
        SignalRecorder recorder(&board);

        LogCapture log;
        action(board);
        QVERIFY(m_remote->drain(sent));
        QCOMPARE(sent.size(), 1);
        QCOMPARE(sent.at(0).topic, Base + topic);
        QCOMPARE(sent.at(0).qos, 0);
        QCOMPARE(sent.at(0).retain, false);
        const QByteArray raw = sent.at(0).payload;
        if (payload.isEmpty()) {
            QCOMPARE(raw, QByteArray());
        } else {
            const QJsonObject expected = json(payload);
            QVERIFY(!expected.isEmpty());
            QCOMPARE(compact(json(raw)), compact(expected));
            // Indented text, and every number a plain integer.
            QCOMPARE(raw, QJsonDocument(expected).toJson(QJsonDocument::Indented));
            QVERIFY(!QString::fromUtf8(raw).contains(QRegularExpression("\\d[.eE]")));
        }
        QCOMPARE(boardLines(log), logLine.isEmpty() ? QStringList() : QStringList{logLine});

        // Requests wait for the service to report back.
        QCOMPARE(snapshot(board), before);
        QCOMPARE(recorder.names(), QStringList());
    }

    void delayShutdownGuard_data()
    {
        QTest::addColumn<int>("reported"); // -1: nothing reported
        QTest::addColumn<int>("requested");
        QTest::addColumn<bool>("sent");

        QTest::newRow("nothing reported, 0") << -1 << 0 << false;
        QTest::newRow("nothing reported, 30") << -1 << 30 << true;
        QTest::newRow("reported 30, 30") << 30 << 30 << false;
        QTest::newRow("reported 30, 0") << 30 << 0 << true;
        QTest::newRow("reported 30, 45") << 30 << 45 << true;
    }

    void delayShutdownGuard()
    {
        QFETCH(int, reported);
        QFETCH(int, requested);
        QFETCH(bool, sent);

        Board board(m_remote->mqtt, Base);
        if (reported >= 0) {
            emit m_remote->mqtt.received(
                QString(R"({"device": {"delayShutdownFor": %1}})").arg(reported).toUtf8(),
                (Base + "/config").toUtf8());
        }
        QList<MqttObserver::Message> messages;
        QVERIFY(m_remote->drain(messages));

        LogCapture log;
        board.setDelayShutdownFor(requested);
        QVERIFY(m_remote->drain(messages));
        QCOMPARE(messages.size(), sent ? 1 : 0);
        QCOMPARE(log.countStartingWith("[Board] Setting board shutdown delay : "), sent ? 1 : 0);
        if (sent) {
            QCOMPARE(compact(json(messages.at(0).payload)),
                     QString(R"({"device":{"delayShutdownFor":%1}})").arg(requested));
        }
        QCOMPARE(board.delayShutdownFor(), qMax(reported, 0));
    }

    void monitor()
    {
        Local local;
        QTimer *timer = local.board.findChild<QTimer *>();
        QVERIFY(timer);
        LogCapture log;

        local.board.monitor(20);
        QVERIFY(log.contains("[Board] Monitor started : 20 msec(s)"));
        QTRY_VERIFY_WITH_TIMEOUT(log.count("[Board] Refreshing data") >= 3, WaitMs);

        local.board.monitor(0);
        QVERIFY(log.contains("[Board] Monitor stopped"));
        QVERIFY(!timer->isActive());

        // Any non-zero value starts monitoring, even a meaningless one.
        log.clear();
        local.board.monitor(-1);
        QVERIFY(log.contains("[Board] Monitor started : -1 msec(s)"));
        QVERIFY(timer->isActive());
        QVERIFY(!timer->isSingleShot());
        QTRY_VERIFY_WITH_TIMEOUT(log.count("[Board] Refreshing data") >= 1, WaitMs);
        local.board.monitor(0);
        QVERIFY(!timer->isActive());
    }

    void status_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QVariantMap>("values"); // device values that differ from the defaults
        QTest::addColumn<QStringList>("emitted");
        QTest::addColumn<QStringList>("logLines");

        const QVariantMap full = {{"ignition", true}, {"poleId", "P7"}, {"temperature", 41.5},
                                  {"voltage", 24.2},  {"uptime", 3600}, {"rtcFailed", true}};
        QTest::newRow("online")
            << FullStatus << "online" << full
            << QStringList({"ignitionChanged", "poleIdChanged", "rtcFailedChanged", "statusChanged",
                            "temperatureChanged", "uptimeChanged", "voltageChanged"})
            << QStringList({"[Board] Processing status topic velt/board/status",
                            "[Board] Status changed : online", "[Board] Ignition changed : true",
                            "[Board] Pole Id changed : P7", "[Board] Temperature changed : 41.5",
                            "[Board] Voltage changed : 24.2", "[Board] Uptime changed : 3600",
                            "[Board] RTC Status changed : FAIL"});
        QTest::newRow("online, default values")
            << QByteArray(R"({"service": true, "device": {"active": true, "ignition": false,
                "poleId": "", "temperature": 0, "voltage": 0, "uptime": 0,
                "hardwareStatus": {"rtcFailed": false}}})")
            << "online"
            << QVariantMap()
            // Unknown until this first report: off is a change too.
            << QStringList({"ignitionChanged", "statusChanged"})
            << QStringList({"[Board] Processing status topic velt/board/status",
                            "[Board] Status changed : online", "[Board] Ignition changed : false"});

        QByteArray offline = FullStatus;
        offline.replace(R"("service": true)", R"("service": false)");
        QTest::newRow("service down")
            << offline << "offline" << QVariantMap() << QStringList({"statusChanged"})
            << QStringList({"[Board] Processing status topic velt/board/status",
                            "[Board] Status changed : offline"});
        QByteArray noService = FullStatus;
        noService.replace(R"("service": true,)", "");
        QTest::newRow("service missing") << noService << "offline" << QVariantMap()
                                         << QStringList({"statusChanged"}) << QStringList();
        QByteArray serviceText = FullStatus;
        serviceText.replace(R"("service": true)", R"("service": "true")");
        QTest::newRow("service not a boolean") << serviceText << "offline" << QVariantMap()
                                               << QStringList({"statusChanged"}) << QStringList();

        QByteArray inactive = FullStatus;
        inactive.replace(R"("active": true)", R"("active": false)");
        QTest::newRow("device inactive")
            << inactive << "error" << QVariantMap() << QStringList({"statusChanged"})
            << QStringList({"[Board] Processing status topic velt/board/status",
                            "[Board] Status changed : error"});
        QByteArray noActive = FullStatus;
        noActive.replace(R"("active": true,)", "");
        QTest::newRow("active missing") << noActive << "error" << QVariantMap()
                                        << QStringList({"statusChanged"}) << QStringList();
        QTest::newRow("device not an object")
            << QByteArray(R"({"service": true, "device": [true]})") << "error" << QVariantMap()
            << QStringList({"statusChanged"}) << QStringList();

        QTest::newRow("wrong types")
            << QByteArray(R"({"service": true, "device": {"active": true, "ignition": "yes",
                "poleId": 7, "temperature": "hot", "voltage": null, "uptime": "long",
                "hardwareStatus": "broken"}})")
            << "online" << QVariantMap() << QStringList({"statusChanged"})
            << QStringList({"[Board] Processing status topic velt/board/status",
                            "[Board] Status changed : online"});
        QTest::newRow("rtc fine") << QByteArray(R"({"service": true, "device": {"active": true,
                "hardwareStatus": {"rtcFailed": false}, "uptime": 12}})")
                                  << "online" << QVariantMap({{"uptime", 12}})
                                  << QStringList({"statusChanged", "uptimeChanged"})
                                  << QStringList(
                                         {"[Board] Processing status topic velt/board/status",
                                          "[Board] Status changed : online",
                                          "[Board] Uptime changed : 12"});
    }

    void status()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QString, status);
        QFETCH(QVariantMap, values);
        QFETCH(QStringList, emitted);
        QFETCH(QStringList, logLines);

        Local local;
        const QString before = snapshot(local.board);
        SignalRecorder recorder(&local.board);
        LogCapture log;
        local.feed("/status", payload);

        values.insert("status", status);
        QCOMPARE(snapshot(local.board), withChanges(before, values));
        QCOMPARE(recorder.names(), emitted);
        if (!logLines.isEmpty())
            QCOMPARE(boardLines(log), logLines);
    }

    void statusSequence()
    {
        Local local;
        SignalRecorder recorder(&local.board);
        local.feed("/status", FullStatus);
        const QString online = snapshot(local.board);

        // The same report again changes nothing.
        recorder.clear();
        LogCapture log;
        local.feed("/status", FullStatus);
        QCOMPARE(recorder.names(), QStringList());
        QCOMPARE(boardLines(log), QStringList{"[Board] Processing status topic velt/board/status"});

        // One value moves: one signal.
        QByteArray warmer = FullStatus;
        warmer.replace("41.5", "42");
        local.feed("/status", warmer);
        QCOMPARE(recorder.names(), QStringList{"temperatureChanged"});
        QVERIFY(log.contains("[Board] Temperature changed : 42"));
        QCOMPARE(local.board.temperature(), 42.0);

        // A report without the ignition, or with a mistyped one, does not turn it off.
        for (const QByteArray &ignition : {QByteArray(), QByteArray(R"("ignition": "off",)")}) {
            QByteArray partial = warmer;
            partial.replace(R"("ignition": true,)", ignition);
            local.feed("/status", partial);
            QCOMPARE(recorder.names(), QStringList{"temperatureChanged"});
            QVERIFY(local.board.ignition());
        }

        // A failing or stopped service keeps the last values it reported.
        const QString warm = snapshot(local.board);
        QByteArray inactive = R"({"service": true, "device": {"active": false, "ignition": false,
            "poleId": "Q1", "temperature": 10, "voltage": 12, "uptime": 1}})";
        for (const QByteArray &report : {inactive, QByteArray(R"({"service": false})")}) {
            recorder.clear();
            local.feed("/status", report);
            QCOMPARE(recorder.names(), QStringList{"statusChanged"});
        }
        QCOMPARE(snapshot(local.board), withChanges(warm, {{"status", "offline"}}));
        QCOMPARE(local.board.status(), QString("offline"));

        // Back online with the original report.
        recorder.clear();
        local.feed("/status", FullStatus);
        QCOMPARE(recorder.names(), QStringList({"statusChanged", "temperatureChanged"}));
        QCOMPARE(snapshot(local.board), online);
    }

    void display_data()
    {
        QTest::addColumn<QByteArrayList>("reports");
        QTest::addColumn<int>("brightness");
        QTest::addColumn<int>("sensor");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QStringList>("emitted");
        QTest::addColumn<QStringList>("logLines");

        const QByteArray full = R"({"brightness": 80, "sensor": 300, "mode": "auto"})";
        const QStringList allChanged = {"ambientLightSensorChanged", "displayBrightnessChanged",
                                        "displayBrightnessModeChanged"};
        const QStringList fullLines = {"[Board] Display brightness changed : 80",
                                       "[Board] Display sensor changed : 300",
                                       "[Board] Display brightness mode changed : auto"};
        QTest::newRow("full") << QByteArrayList{full} << 80 << 300 << "auto" << allChanged
                              << fullLines;
        QTest::newRow("repeated") << QByteArrayList{full, full} << 80 << 300 << "auto" << allChanged
                                  << fullLines;
        QTest::newRow("sensor moves")
            << QByteArrayList{full, R"({"brightness": 80, "sensor": 120, "mode": "auto"})"} << 80
            << 120 << "auto" << QStringList(allChanged + QStringList{"ambientLightSensorChanged"})
            << QStringList(fullLines + QStringList{"[Board] Display sensor changed : 120"});
        QTest::newRow("brightness only")
            << QByteArrayList{R"({"brightness": 55})"} << 55 << 0 << ""
            << QStringList({"displayBrightnessChanged"})
            << QStringList({"[Board] Display brightness changed : 55"});
        QTest::newRow("wrong types")
            << QByteArrayList{R"({"brightness": "80", "sensor": true, "mode": 1})"} << 0 << 0 << ""
            << QStringList() << QStringList();
    }

    void display()
    {
        QFETCH(QByteArrayList, reports);
        QFETCH(int, brightness);
        QFETCH(int, sensor);
        QFETCH(QString, mode);
        QFETCH(QStringList, emitted);
        QFETCH(QStringList, logLines);

        Local local;
        SignalRecorder recorder(&local.board);
        LogCapture log;
        for (const QByteArray &report : reports)
            local.feed("/display", report);
        QCOMPARE(local.board.displayBrightness(), brightness);
        QCOMPARE(local.board.ambientLightSensor(), sensor);
        QCOMPARE(local.board.displayBrightnessMode(), mode);
        QCOMPARE(local.board.property("displayBrightness").toInt(), brightness);
        emitted.sort();
        QCOMPARE(recorder.names(), emitted);
        QCOMPARE(boardLines(log), logLines);
    }

    void power_data()
    {
        QTest::addColumn<QByteArrayList>("reports");
        QTest::addColumn<QStringList>("states");  // peripherals() as "key=value"
        QTest::addColumn<QStringList>("changes"); // peripheralPowerChanged in order
        QTest::addColumn<int>("listChanges");     // peripheralsChanged

        const QByteArray both = R"({"usbHub": false, "display": true})";
        QTest::newRow("first report")
            << QByteArrayList{both} << QStringList({"display=true", "usbHub=false"})
            << QStringList({"display=true", "usbHub=false"}) << 1;
        QTest::newRow("repeated") << QByteArrayList{both, both}
                                  << QStringList({"display=true", "usbHub=false"})
                                  << QStringList({"display=true", "usbHub=false"}) << 1;
        QTest::newRow("null is no state")
            << QByteArrayList{R"({"display": true, "usbHub": null})"}
            << QStringList({"display=true"}) << QStringList({"display=true"}) << 1;
        QTest::newRow("partial keeps the others")
            << QByteArrayList{R"({"display": true, "touch": true})", R"({"touch": false})"}
            << QStringList({"display=true", "touch=false"})
            << QStringList({"display=true", "touch=true", "touch=false"}) << 2;
        QTest::newRow("keys never removed")
            << QByteArrayList{R"({"display": true})", "{}", ""} << QStringList({"display=true"})
            << QStringList({"display=true"}) << 1;
        QTest::newRow("mistyped values")
            << QByteArrayList{R"({"display": "on", "touch": 1, "usbHub": {"on": true}})"}
            << QStringList() << QStringList() << 0;
    }

    void power()
    {
        QFETCH(QByteArrayList, reports);
        QFETCH(QStringList, states);
        QFETCH(QStringList, changes);
        QFETCH(int, listChanges);

        Local local;
        QSignalSpy powerSpy(&local.board, &Board::peripheralPowerChanged);
        QSignalSpy listSpy(&local.board, &Board::peripheralsChanged);
        for (const QByteArray &report : reports)
            local.feed("/power", report);

        QStringList listed;
        for (const QVariant &entry : local.board.peripherals()) {
            const QVariantMap map = entry.toMap();
            QCOMPARE(map.value("value").type(), QVariant::Bool);
            const QString key = map.value("item").toString();
            QCOMPARE(local.board.peripheralPower(key), map.value("value").toBool());
            listed << key + "=" + (map.value("value").toBool() ? "true" : "false");
        }
        QCOMPARE(listed, states);

        QStringList emitted;
        for (const QList<QVariant> &args : powerSpy)
            emitted << args.at(0).toString() + "=" + (args.at(1).toBool() ? "true" : "false");
        QCOMPARE(emitted, changes);
        QCOMPARE(listSpy.count(), listChanges);
        QCOMPARE(local.board.peripheralPower("usbHost1"), false);
    }

    void powerLog()
    {
        Local local;
        LogCapture log;
        local.feed("/power", R"({"mPCIe1": true, "ftdi": false})");
        QCOMPARE(boardLines(log),
                 QStringList({"[Board] Peripheral power changed 'ftdi' : false",
                              "[Board] Peripheral power changed 'mPCIe1' : true"}));
    }

    void peripheralLabels()
    {
        Local local;
        local.feed("/power", R"({"usbHub": true, "usbHost1": false, "touch": true,
            "rfidReader": true, "qrReader": false, "modem": true, "mPCIe2": false,
            "mPCIe1": true, "ftdi": false, "display": true})");

        auto labels = [&] {
            QStringList result;
            for (const QVariant &entry : local.board.peripherals()) {
                const QVariantMap map = entry.toMap();
                result << map.value("item").toString() + ":" + map.value("descr").toString();
            }
            return result;
        };
        QCOMPARE(labels(),
                 QStringList({"display:Display", "ftdi:FTDI", "mPCIe1:mPCIe #1", "mPCIe2:mPCIe #2",
                              "modem:", "qrReader:QR Reader", "rfidReader:RFID Reader",
                              "touch:Touch", "usbHost1:USB Host", "usbHub:USB Hub"}));

        // Labels follow the language in force when the list is read.
        TaggingTranslator translator;
        QCoreApplication::installTranslator(&translator);
        const QStringList translated = labels();
        QCoreApplication::removeTranslator(&translator);
        QCOMPARE(translated.first(), QString("display:el:Display"));
        QCOMPARE(translated.at(4), QString("modem:"));
        QCOMPARE(translated.last(), QString("usbHub:el:USB Hub"));
        QCOMPARE(labels().first(), QString("display:Display"));
    }

    void setPeripheralsOnlyLogs()
    {
        Local local;
        local.populate();
        const QString before = snapshot(local.board);
        SignalRecorder recorder(&local.board);
        LogCapture log;

        const QVariantList list = {QVariantMap{{"item", "touch"}, {"value", true}}};
        local.board.setPeripherals(list);
        local.board.setProperty("peripherals", list);
        QCOMPARE(log.countStartingWith("[Board] --- SET PERIPHERALS : "), 2);
        QCOMPARE(snapshot(local.board), before);
        QCOMPARE(recorder.names(), QStringList());
    }

    void audio_data()
    {
        QTest::addColumn<QByteArrayList>("reports");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("changes");

        QTest::newRow("muted") << QByteArrayList{R"({"mute": true})"} << false << 1;
        QTest::newRow("not muted") << QByteArrayList{R"({"mute": false})"} << true << 0;
        QTest::newRow("muted twice")
            << QByteArrayList{R"({"mute": true})", R"({"mute": true})"} << false << 1;
        QTest::newRow("muted then not")
            << QByteArrayList{R"({"mute": true})", R"({"mute": false})"} << true << 2;
        QTest::newRow("not a boolean") << QByteArrayList{R"({"mute": "yes"})"} << true << 0;
    }

    void audio()
    {
        QFETCH(QByteArrayList, reports);
        QFETCH(bool, enabled);
        QFETCH(int, changes);

        Local local;
        SignalRecorder recorder(&local.board);
        for (const QByteArray &report : reports)
            local.feed("/audio", report);
        QCOMPARE(local.board.audioEnabled(), enabled);
        QCOMPARE(recorder.names(), repeated(changes, "audioEnabledChanged"));
    }

    void config_data()
    {
        QTest::addColumn<QByteArrayList>("reports");
        QTest::addColumn<int>("delay");
        QTest::addColumn<int>("changes");

        const QByteArray thirty = R"({"device": {"delayShutdownFor": 30}})";
        QTest::newRow("reported") << QByteArrayList{thirty} << 30 << 1;
        QTest::newRow("repeated") << QByteArrayList{thirty, thirty} << 30 << 1;
        QTest::newRow("changed") << QByteArrayList{thirty,
                                                   R"({"device": {"delayShutdownFor": 90}})"}
                                 << 90 << 2;
        QTest::newRow("missing") << QByteArrayList{R"({"device": {}})"} << 0 << 0;
        QTest::newRow("text") << QByteArrayList{R"({"device": {"delayShutdownFor": "30"}})"} << 0
                              << 0;
        QTest::newRow("outside device") << QByteArrayList{R"({"delayShutdownFor": 30})"} << 0 << 0;
    }

    void config()
    {
        QFETCH(QByteArrayList, reports);
        QFETCH(int, delay);
        QFETCH(int, changes);

        Local local;
        SignalRecorder recorder(&local.board);
        LogCapture log;
        for (const QByteArray &report : reports)
            local.feed("/config", report);
        QCOMPARE(local.board.delayShutdownFor(), delay);
        QCOMPARE(recorder.names(), repeated(changes, "delayShutdownForChanged"));
        QCOMPARE(log.count("[Board] Processing config topic velt/board/config"), reports.size());
        QCOMPARE(log.countStartingWith("[Board] Board shutdown delay changed : "), changes);
        if (changes > 0)
            QVERIFY(log.contains(
                QString("[Board] Board shutdown delay changed : %1 sec(s)").arg(delay)));
    }

    void info()
    {
        Local local;
        SignalRecorder recorder(&local.board);
        LogCapture log;
        local.feed("/info", FullInfo);
        local.feed("/info", FullInfo);
        const QVariantMap expected = {{"firmware", "2.1.0"},
                                      {"hardwareId", "HW-42"},
                                      {"hardware", "rev C"},
                                      {"version", "1.4.2"}};
        QCOMPARE(local.board.info(), expected);
        // Every report is announced, changed or not.
        QCOMPARE(recorder.names(), repeated(2, "infoChanged"));
        QCOMPARE(boardLines(log), repeated(2, "[Board] Processing info topic velt/board/info"));

        local.feed("/info", R"({"device": {"firmwareVersion": 2, "hardwareId": null},
            "service": "1.4.2"})");
        const QVariantMap empty = {
            {"firmware", ""}, {"hardwareId", ""}, {"hardware", ""}, {"version", ""}};
        QCOMPARE(local.board.info(), empty);
        QCOMPARE(recorder.names(), repeated(3, "infoChanged"));
    }

    void ignitionEvent_data()
    {
        QTest::addColumn<bool>("before");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("ignition");
        QTest::addColumn<QString>("logLine");

        QTest::newRow("0") << true << QByteArray("0") << false
                           << "[Board] Event received : IgnitionChanged [0]";
        QTest::newRow("\"0\"") << true << QByteArray("\"0\"") << false
                               << "[Board] Event received : IgnitionChanged [0]";
        QTest::newRow("1") << false << QByteArray("1") << true
                           << "[Board] Event received : IgnitionChanged [1]";
        QTest::newRow("\"1\"") << false << QByteArray("\"1\"") << true
                               << "[Board] Event received : IgnitionChanged [1]";
        QTest::newRow("true") << false << QByteArray("true") << true
                              << "[Board] Event received : IgnitionChanged [true]";
        QTest::newRow("false") << true << QByteArray("false") << false
                               << "[Board] Event received : IgnitionChanged [false]";
        QTest::newRow("already off")
            << false << QByteArray("0") << false << "[Board] Event received : IgnitionChanged [0]";
        QTest::newRow("already on")
            << true << QByteArray("1") << true << "[Board] Event received : IgnitionChanged [1]";
        QTest::newRow("no data") << false << QByteArray() << true
                                 << "[Board] Event received : IgnitionChanged []";
    }

    void ignitionEvent()
    {
        QFETCH(bool, before);
        QFETCH(QByteArray, data);
        QFETCH(bool, ignition);
        QFETCH(QString, logLine);

        Local local;
        QByteArray status = FullStatus;
        if (!before)
            status.replace(R"("ignition": true)", R"("ignition": false)");
        local.feed("/status", status);
        QCOMPARE(local.board.ignition(), before);

        SignalRecorder recorder(&local.board);
        LogCapture log;
        const QByteArray event = data.isEmpty()
                                     ? QByteArray(R"({"name": "IgnitionChanged"})")
                                     : R"({"name": "IgnitionChanged", "data": )" + data + "}";
        local.feed("/event", event);
        QCOMPARE(local.board.ignition(), ignition);
        QCOMPARE(recorder.names(), QStringList{"ignitionChanged"});
        QCOMPARE(boardLines(log), QStringList{logLine});

        // A later status report compares with the value the event left.
        recorder.clear();
        local.feed("/status", status);
        QCOMPARE(recorder.names(),
                 ignition == before ? QStringList() : QStringList{"ignitionChanged"});
    }

    void otherEvents()
    {
        Local local;
        local.populate();
        const QString before = snapshot(local.board);
        SignalRecorder recorder(&local.board);
        LogCapture log;
        local.feed("/event", R"({"name": "DoorOpened", "data": {"door": 1}})");
        local.feed("/event", R"({"name": "Ignition", "data": 0})");
        QCOMPARE(boardLines(log), QStringList({"[Board] Event received : DoorOpened [{\"door\":1}]",
                                               "[Board] Event received : Ignition [0]"}));
        QCOMPARE(recorder.names(), QStringList());
        QCOMPARE(snapshot(local.board), before);
    }

    void badInput_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("unparsable");
        QTest::addColumn<QVariantMap>("changes"); // against the populated state

        const QVariantMap emptyInfo = {
            {"info",
             QVariantMap{{"firmware", ""}, {"hardwareId", ""}, {"hardware", ""}, {"version", ""}}}};
        const QVariantMap deviceDefaults = {{"ignition", false}, {"poleId", ""},
                                            {"temperature", 0},  {"voltage", 0},
                                            {"uptime", 0},       {"rtcFailed", false}};
        // What an empty object (and so a JSON array) does on each topic.
        const QList<QPair<QString, QVariantMap>> topics = {
            {"/info", emptyInfo},
            {"/status", {{"status", "offline"}}},
            {"/config", {{"delayShutdownFor", 0}}},
            {"/display",
             {{"displayBrightness", 0}, {"ambientLightSensor", 0}, {"displayBrightnessMode", ""}}},
            {"/power", {}},
            {"/audio", {{"audioEnabled", true}}},
            {"/event", {}},
        };
        for (const auto &topic : topics) {
            const QByteArray name = topic.first.toUtf8();
            QTest::newRow((name + ": garbage").constData())
                << topic.first << QByteArray("ignition=on {") << true << QVariantMap();
            QTest::newRow((name + ": truncated").constData())
                << topic.first << QByteArray(R"({"service": true, "device": {)") << true
                << QVariantMap();
            QTest::newRow((name + ": array").constData())
                << topic.first << QByteArray(R"([{"mute": true}, 1])") << false << topic.second;
            QTest::newRow((name + ": empty object").constData())
                << topic.first << QByteArray("{}") << false << topic.second;
            QTest::newRow((name + ": empty message").constData())
                << topic.first << QByteArray() << false << topic.second;
        }

        QTest::newRow("/info: wrong types")
            << "/info" << QByteArray(R"({"device": "x", "service": [1]})") << false << emptyInfo;
        QTest::newRow("/status: wrong types")
            << "/status"
            << QByteArray(R"({"service": true, "device": {"active": true, "ignition": "yes",
                "poleId": 7, "temperature": "hot", "voltage": null, "uptime": "long",
                "hardwareStatus": "broken"}})")
            // A mistyped ignition is no report of it: the unit is not turned off.
            << false << [&deviceDefaults] {
                   QVariantMap changes = deviceDefaults;
                   changes.remove("ignition");
                   return changes;
               }();
        QTest::newRow("/status: service missing")
            << "/status" << QByteArray(R"({"device": {"active": true}})") << false
            << QVariantMap{{"status", "offline"}};
        QTest::newRow("/status: device missing") << "/status" << QByteArray(R"({"service": true})")
                                                 << false << QVariantMap{{"status", "error"}};
        QTest::newRow("/config: wrong types")
            << "/config" << QByteArray(R"({"device": {"delayShutdownFor": [45]}})") << false
            << QVariantMap{{"delayShutdownFor", 0}};
        QTest::newRow("/display: wrong types")
            << "/display" << QByteArray(R"({"brightness": "80", "sensor": [300], "mode": false})")
            << false
            << QVariantMap{{"displayBrightness", 0},
                           {"ambientLightSensor", 0},
                           {"displayBrightnessMode", ""}};
        QTest::newRow("/power: wrong types")
            << "/power" << QByteArray(R"({"display": "off", "usbHub": 1, "touch": null})") << false
            << QVariantMap();
        QTest::newRow("/audio: wrong types") << "/audio" << QByteArray(R"({"mute": "no"})") << false
                                             << QVariantMap{{"audioEnabled", true}};
        QTest::newRow("/event: wrong types")
            << "/event" << QByteArray(R"({"name": ["IgnitionChanged"], "data": 0})") << false
            << QVariantMap();
        QTest::newRow("/event: data an object")
            << "/event" << QByteArray(R"({"name": "IgnitionChanged", "data": {"level": 0}})")
            << false << QVariantMap();
    }

    void badInput()
    {
        QFETCH(QString, suffix);
        QFETCH(QByteArray, payload);
        QFETCH(bool, unparsable);
        QFETCH(QVariantMap, changes);

        Local local;
        local.populate();
        const QString before = snapshot(local.board);
        LogCapture log;
        local.feed(suffix, payload);
        QCOMPARE(snapshot(local.board), withChanges(before, changes));
        QCOMPARE(log.countStartingWith("[Board] Failed to parse JSON message: "),
                 unparsable ? 1 : 0);
        if (unparsable)
            QCOMPARE(boardLines(log).size(), 1);
    }

    void foreignTopics_data()
    {
        QTest::addColumn<QString>("topic");
        QTest::addColumn<QByteArray>("payload");

        QTest::newRow("another service") << "velt/inspector/status" << FullStatus;
        QTest::newRow("suffix alone") << "/status" << FullStatus;
        QTest::newRow("longer base") << "velt/boards/status" << FullStatus;
        QTest::newRow("base inside") << "site/velt/board/status" << FullStatus;
        QTest::newRow("base alone") << "velt/board" << FullStatus;
        QTest::newRow("request topic") << "velt/board/status/get" << FullStatus;
        QTest::newRow("power elsewhere") << "velt/inspector/power" << QByteArray(R"({"a": true})");
        QTest::newRow("garbage elsewhere") << "velt/inspector/status" << QByteArray("not json");
    }

    void foreignTopics()
    {
        QFETCH(QString, topic);
        QFETCH(QByteArray, payload);

        Local local;
        const QString before = snapshot(local.board);
        SignalRecorder recorder(&local.board);
        LogCapture log;
        emit local.mqtt.received(payload, topic.toUtf8());
        QCOMPARE(snapshot(local.board), before);
        QCOMPARE(recorder.names(), QStringList());
        QCOMPARE(log.countStartingWith("[Board] Processing"), 0);
        QCOMPARE(log.countStartingWith("[Board] Failed to parse JSON message: "), 0);
    }
};

QTEST_GUILESS_MAIN(BoardTest)
#include "tst_board.moc"
