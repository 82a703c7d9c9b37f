#include "BarcodeManager.h"
#include "BrokerClient.h"
#include "GPSManager.h"
#include "LogCapture.h"
#include "SimulatorRun.h"

#include <QSignalSpy>
#include <QtTest>

using manager::BarcodeManager;
using manager::GPSManager;
using manager::MqttClient;

namespace {

constexpr int WaitMs = 15000;
const QString BarcodeBase = QStringLiteral("velt/barcode");
const QString GpsBase = QStringLiteral("velt/gps");

// Both managers fed by emitting the shared client's signal; no broker involved.
struct Local
{
    MqttClient mqtt;
    BarcodeManager barcode{mqtt, BarcodeBase, nullptr};
    GPSManager gps{mqtt, GpsBase, nullptr};

    void feed(const QString &topic, const QByteArray &payload)
    {
        emit mqtt.received(payload, topic.toUtf8());
    }
};

QVariantList telemetryOf(const GPSManager::Telemetry &t)
{
    return {t.latitude,         t.longitude,          t.altitude,
            t.direction,        t.groundSpeed,        t.verticalSpeed,
            t.verticalAccuracy, t.horizontalAccuracy, t.magneticVariation};
}

} // namespace

class BarcodeGpsTest : public QObject
{
    Q_OBJECT

private slots:
    void barcodeStatus_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("status");

        QTest::newRow("enabled") << QByteArray(R"({"service": true, "device": {"active": true,
            "enabled": true}})") << "enabled";
        QTest::newRow("disabled") << QByteArray(R"({"service": true, "device": {"active": true,
            "enabled": false}})") << "disabled";
        QTest::newRow("not active, enabled") << QByteArray(R"({"service": true,
            "device": {"active": false, "enabled": true}})")
                                             << "error";
        QTest::newRow("service down") << QByteArray(R"({"service": false, "device": {
            "active": true, "enabled": true}})")
                                      << "offline";
        QTest::newRow("array") << QByteArray("[true]") << "offline";
        QTest::newRow("wrong types") << QByteArray(R"({"service": "yes", "device": {
            "active": 1}})") << "offline";
        QTest::newRow("no device") << QByteArray(R"({"service": true})") << "error";
    }

    void barcodeStatus()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QString, status);

        Local local;
        QSignalSpy changed(&local.barcode, &BarcodeManager::statusChanged);
        LogCapture log;
        local.feed(BarcodeBase + "/status", payload);
        local.feed(BarcodeBase + "/status", payload);
        QCOMPARE(local.barcode.status(), status);
        // Told and logged once, when the word changes.
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toString(), status);
        QCOMPARE(log.lines(), QStringList{"Barcode status is : " + status});
    }

    void barcodeReadsAndInfo()
    {
        Local local;
        QSignalSpy scanned(&local.barcode, &BarcodeManager::barcodeScanned);
        local.feed(BarcodeBase + "/barcode", R"({"data": "QR-0042"})");
        local.feed(BarcodeBase + "/barcode", R"({"data": "QR-0042"})");
        local.feed(BarcodeBase + "/barcode", R"({"data": 42})");
        QCOMPARE(scanned.count(), 3);
        QCOMPARE(scanned.at(1).at(0).toString(), QString("QR-0042"));
        QCOMPARE(scanned.at(2).at(0).toString(), QString());

        local.feed(BarcodeBase + "/info", R"({"device": {"firmware": "4.2", "manufacturer": "M",
            "model": "X1"}, "service": {"version": "1.0", "type": "hid"}})");
        const BarcodeManager::Info &info = local.barcode.info();
        QCOMPARE(
            QStringList({info.firmware, info.manufacturer, info.model, info.version, info.type}),
            QStringList({"4.2", "M", "X1", "1.0", "hid"}));
        local.feed(BarcodeBase + "/info", "{}");
        QCOMPARE(local.barcode.info().firmware, QString());
    }

    // Garbage and empty messages are logged with what came; other topics are not looked at.
    void badMessages_data()
    {
        QTest::addColumn<QString>("topic");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QStringList>("lines");

        QTest::newRow("barcode: empty") << BarcodeBase + "/barcode" << QByteArray()
                                        << QStringList{"Failed to parse JSON message: "};
        QTest::newRow("barcode: garbage") << BarcodeBase + "/status" << QByteArray("on")
                                          << QStringList{"Failed to parse JSON message: on"};
        QTest::newRow("gps: empty")
            << GpsBase + "/data" << QByteArray() << QStringList{"Failed to parse JSON message: "};
        QTest::newRow("gps: truncated")
            << GpsBase + "/status" << QByteArray(R"({"service": )")
            << QStringList{R"(Failed to parse JSON message: {"service": )"};
        QTest::newRow("gps: duplicate key")
            << GpsBase + "/info" << QByteArray(R"({"b": 1, "s": {"f": "R"}, "s": {}})")
            << QStringList{R"(Failed to parse JSON message: {"b": 1, "s": {"f": "R"}, "s": {}})"};
        // Under the base, so read, but no handler of its own.
        QTest::newRow("gps: other topic, garbage")
            << GpsBase + "/enable" << QByteArray("x")
            << QStringList{"Failed to parse JSON message: x"};
        QTest::newRow("another service") << "velt/board/status" << QByteArray("x") << QStringList();
    }

    void badMessages()
    {
        QFETCH(QString, topic);
        QFETCH(QByteArray, payload);
        QFETCH(QStringList, lines);

        Local local;
        QSignalSpy scanned(&local.barcode, &BarcodeManager::barcodeScanned);
        QSignalSpy gpsStatus(&local.gps, &GPSManager::statusChanged);
        QSignalSpy telemetry(&local.gps, &GPSManager::telemetryChanged);
        LogCapture log;
        local.feed(topic, payload);
        QCOMPARE(log.lines(), lines);
        QCOMPARE(scanned.count() + gpsStatus.count() + telemetry.count(), 0);
        QCOMPARE(local.barcode.status(), QString());
    }

    void gpsTelemetry_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QVariantList>("values");

        const QVariantList zero = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
        QTest::newRow("latitude as text")
            << QByteArray(R"({"latitude": "37.98"})")
            << QVariantList{37.98, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
        // A number is the same reading as its text.
        QTest::newRow("latitude as a number")
            << QByteArray(R"({"latitude": 37.98})")
            << QVariantList{37.98, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
        QTest::newRow("all of them")
            << QByteArray(R"({"latitude": "37.983810", "longitude": "23.727539",
                "altitude": "95.0", "direction": "270.5", "groundSpeed": "12.3",
                "magneticVariation": "4.1", "verticalSpeed": "-0.2", "verticalAccuracy": "3.5",
                "horizontalAccuracy": "2.5"})")
            << QVariantList{37.98381, 23.727539, 95.0, 270.5, 12.3, -0.2, 3.5, 2.5, 4.1};
        QTest::newRow("null, text, object")
            << QByteArray(R"({"latitude": null, "longitude": "east", "altitude": {}})") << zero;
        QTest::newRow("infinite") << QByteArray(R"({"latitude": "inf", "longitude": "1e999"})")
                                  << zero;
        QTest::newRow("empty object") << QByteArray("{}") << zero;
    }

    void gpsTelemetry()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QVariantList, values);

        Local local;
        local.feed(GpsBase + "/data", R"({"latitude": "1", "longitude": "2", "altitude": "3"})");
        QSignalSpy changed(&local.gps, &GPSManager::telemetryChanged);
        local.feed(GpsBase + "/data", payload);
        local.feed(GpsBase + "/data", payload);
        QCOMPARE(changed.count(), 2);
        const QVariantList got = telemetryOf(local.gps.telemetry());
        for (int i = 0; i < values.size(); ++i)
            QVERIFY2(qFuzzyCompare(1.0 + got.at(i).toDouble(), 1.0 + values.at(i).toDouble()),
                     qPrintable(QString("%1: %2").arg(i).arg(got.at(i).toDouble())));
        QVERIFY(local.gps.telemetry().timestamp.isNull());
        const auto sent = changed.last().at(0).value<GPSManager::Telemetry>();
        QCOMPARE(telemetryOf(sent), got);
    }

    void gpsStatusAndInfo()
    {
        Local local;
        QSignalSpy status(&local.gps, &GPSManager::statusChanged);
        local.feed(GpsBase + "/status", R"({"service": true, "simulation": true,
            "device": {"fix": 2, "state": 2, "error": ""}})");
        QCOMPARE(local.gps.status().fix, GPSManager::Fix3D);
        QCOMPARE(local.gps.status().state, GPSManager::Enabled);
        QVERIFY(local.gps.status().simulation);

        // Numbers outside the lists are kept as they come; an error that is no text is empty.
        local.feed(GpsBase + "/status", R"({"service": true, "device": {"fix": 7, "state": 9,
            "error": null}})");
        QCOMPARE(unsigned(local.gps.status().fix), 7u);
        QCOMPARE(int(local.gps.status().state), 9);
        QCOMPARE(local.gps.status().error, QString());
        QVERIFY(!local.gps.status().simulation);

        // Told every time, the same report twice included.
        local.feed(GpsBase + "/status", R"({"service": false})");
        local.feed(GpsBase + "/status", R"({"service": false})");
        QCOMPARE(status.count(), 4);
        const auto last = status.last().at(0).value<GPSManager::Status>();
        QCOMPARE(last.state, GPSManager::Offline);
        QCOMPARE(last.fix, GPSManager::NoFix);
        QCOMPARE(last.error, QString("Manager is offline"));

        QSignalSpy info(&local.gps, &GPSManager::infoChanged);
        local.feed(GpsBase + "/info", R"({"device": {"imei": "354869100000017",
            "assisted": true}, "service": {"version": "1.3.2"}})");
        local.feed(GpsBase + "/info", R"({"device": {"imei": 35486, "assisted": "yes"}})");
        QCOMPARE(info.count(), 2);
        QCOMPARE(info.at(0).at(0).value<GPSManager::Info>().imei, QString("354869100000017"));
        QVERIFY(info.at(0).at(0).value<GPSManager::Info>().assisted);
        QCOMPARE(local.gps.info().imei, QString());
        QVERIFY(!local.gps.info().assisted);
    }

    // Against the simulated barcode and GPS services on a real broker.
    void simulator()
    {
        BrokerClient remote;
        QVERIFY(remote.open());
        SimulatorRun simulator(remote.broker.host(), remote.broker.port());
        BarcodeManager barcode(remote.mqtt, BarcodeBase, nullptr);
        GPSManager gps(remote.mqtt, GpsBase, nullptr);
        QSignalSpy scanned(&barcode, &BarcodeManager::barcodeScanned);
        QSignalSpy telemetry(&gps, &GPSManager::telemetryChanged);
        QVERIFY(remote.connectClient());
        QTRY_VERIFY_WITH_TIMEOUT(!barcode.status().isEmpty(), WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(gps.info().imei.isEmpty(), false, WaitMs);

        QCOMPARE(simulator.execute("barcode scan PASS-7781"), QString());
        QTRY_COMPARE_WITH_TIMEOUT(scanned.count(), 1, WaitMs);
        QCOMPARE(scanned.at(0).at(0).toString(), QString("PASS-7781"));

        QVERIFY(barcode.disable());
        QTRY_COMPARE_WITH_TIMEOUT(barcode.status(), QString("disabled"), WaitMs);
        QVERIFY(barcode.enable());
        QTRY_COMPARE_WITH_TIMEOUT(barcode.status(), QString("enabled"), WaitMs);
        QCOMPARE(simulator.execute("barcode active off"), QString());
        QTRY_COMPARE_WITH_TIMEOUT(barcode.status(), QString("error"), WaitMs);

        QCOMPARE(simulator.execute("gps position 38.2466 21.7346 41"), QString());
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(gps.telemetry().altitude - 41.0) < 1e-6, WaitMs);
        QVERIFY(qAbs(gps.telemetry().latitude - 38.2466) < 1e-6);
        QVERIFY(qAbs(gps.telemetry().longitude - 21.7346) < 1e-6);
        QVERIFY(gps.disable());
        QTRY_COMPARE_WITH_TIMEOUT(gps.status().state, GPSManager::Disabled, WaitMs);
        QVERIFY(gps.enable());
        QTRY_COMPARE_WITH_TIMEOUT(gps.status().state, GPSManager::Enabled, WaitMs);
        QCOMPARE(simulator.execute("gps fix 1"), QString());
        QTRY_COMPARE_WITH_TIMEOUT(gps.status().fix, GPSManager::Fix2D, WaitMs);
    }
};

QTEST_GUILESS_MAIN(BarcodeGpsTest)
#include "tst_barcodegps.moc"
