#include "Diagnostics.h"
#include "FileSizeLimit.h"
#include "LogCapture.h"
#include "ServiceAccount.h"
#include "SignalRecorder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QSignalSpy>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using manager::Board;
using manager::MqttClient;
using manager::Network;
using manager::Validator;

namespace {

constexpr int WaitMs = 15000;

// A scratch copy of the system's USB device directory and SD card node.
class FakeSystem
{
public:
    FakeSystem()
    {
        qputenv("PERNIX_USB_DEVICES", m_dir.filePath("usb").toUtf8());
        qputenv("PERNIX_SD_CARD", m_dir.filePath("mmcblk1p1").toUtf8());
    }
    ~FakeSystem()
    {
        qunsetenv("PERNIX_USB_DEVICES");
        qunsetenv("PERNIX_SD_CARD");
    }

    // A device directory with its id files; a null text leaves that file out.
    void plug(const QString &path, const QByteArray &vendor, const QByteArray &product,
              const QByteArray &name = "Device")
    {
        const QString dir = m_dir.filePath("usb/" + path);
        QDir().mkpath(dir);
        write(dir + "/idVendor", vendor);
        write(dir + "/idProduct", product);
        write(dir + "/product", name);
    }
    void unplug(const QString &path) { QDir(m_dir.filePath("usb/" + path)).removeRecursively(); }
    // Every device of the board as it should be, and the SD card.
    void plugAll()
    {
        plug("1-1", "0451", "2077");
        plug("1-1.2", "8086", "0001");
        plug("1-1.3", "0ab1", "0007");
        plug("1-1.4", "1d6b", "0002");
        plug("1-1.5", "0403", "6015");
        plug("1-1.6", "05f9", "4204");
        plug("1-1.7", "222a", "0001");
        insertSdCard();
    }
    void insertSdCard() { write(m_dir.filePath("mmcblk1p1"), ""); }
    void removeSdCard() { QFile::remove(m_dir.filePath("mmcblk1p1")); }

private:
    static void write(const QString &path, const QByteArray &content)
    {
        if (content.isNull())
            return;
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(content);
    }

    QTemporaryDir m_dir;
};

// The self-test over managers fed by emitting the shared client's signal; no broker involved.
struct Local
{
    QString deviceId = QStringLiteral("C12345678");
    MqttClient mqtt;
    Board board{mqtt, "velt/board"};
    Network network{mqtt, "velt/network"};
    Validator validator{mqtt, "velt/blm"};
    Diagnostics diagnostics{deviceId, board, network, validator};

    void feed(const QString &topic, const QByteArray &payload)
    {
        emit mqtt.received(payload, topic.toUtf8());
    }
};

QString verdictOf(const QObject &object, const char *name)
{
    return object.property(name).toString();
}

// The QR code in an SVG data URI, drawn and read back as a phone would.
QString decodeQr(const QString &uri, const QString &folder)
{
    const QString prefix = QStringLiteral("data:image/svg,");
    if (!uri.startsWith(prefix))
        return QStringLiteral("not an SVG data URI");
    QSvgRenderer svg(uri.mid(prefix.size()).toUtf8());
    if (!svg.isValid())
        return QStringLiteral("invalid SVG");
    QImage image(600, 600, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    svg.render(&painter, QRectF(50, 50, 500, 500));
    painter.end();
    const QString png = folder + "/qr.png";
    image.save(png);
    QProcess zbar;
    zbar.start("zbarimg", {"--raw", "-q", png});
    if (!zbar.waitForFinished(WaitMs))
        return QStringLiteral("zbarimg did not finish");
    QString text = QString::fromUtf8(zbar.readAllStandardOutput());
    if (text.endsWith('\n'))
        text.chop(1);
    return text;
}

} // namespace

class DiagnosticsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCoreApplication::setApplicationVersion("1.0.18-1-g376f268");
        QVERIFY(!QStandardPaths::findExecutable("zbarimg").isEmpty());
    }

    void usbDevice_data()
    {
        QTest::addColumn<QString>("expected"); // the table's id
        QTest::addColumn<bool>("present");
        QTest::addColumn<QByteArray>("vendor"); // null: no file
        QTest::addColumn<QByteArray>("product");
        QTest::addColumn<QString>("verdict");
        QTest::addColumn<int>("unreadable"); // critical lines

        QTest::newRow("the expected device")
            << "0451:2077" << true << QByteArray("0451\n") << QByteArray("2077\n") << "OK" << 0;
        QTest::newRow("another product")
            << "0451:2077" << true << QByteArray("0451") << QByteArray("8140") << "ERROR" << 0;
        QTest::newRow("not plugged")
            << "0451:2077" << false << QByteArray() << QByteArray() << "MISSING" << 0;
        // The identity test finds the expected id inside what the device reports.
        QTest::newRow("longer product id")
            << "0451:2077" << true << QByteArray("0451") << QByteArray("20771") << "OK" << 0;
        QTest::newRow("any device, star")
            << "*" << true << QByteArray("8086") << QByteArray("0001") << "OK" << 0;
        QTest::newRow("any device, word")
            << "any" << true << QByteArray("8086") << QByteArray("0001") << "OK" << 0;
        QTest::newRow("any device, not plugged")
            << "*" << false << QByteArray() << QByteArray() << "MISSING" << 0;
        QTest::newRow("id files unreadable")
            << "0451:2077" << true << QByteArray() << QByteArray() << "ERROR" << 2;
        QTest::newRow("id files unreadable, any device")
            << "*" << true << QByteArray() << QByteArray() << "OK" << 2;
        QTest::newRow("a zero byte ends the text")
            << "0451:2077" << true << QByteArray("0451\0junk", 9) << QByteArray(" 2077 ") << "OK"
            << 0;
    }

    void usbDevice()
    {
        QFETCH(QString, expected);
        QFETCH(bool, present);
        QFETCH(QByteArray, vendor);
        QFETCH(QByteArray, product);
        QFETCH(QString, verdict);
        QFETCH(int, unreadable);

        FakeSystem system;
        if (present)
            system.plug("1-1", vendor, product);
        Local local;
        LogCapture log;
        QCOMPARE(local.diagnostics.testUsb({"USB Hub #1", expected, "1-1"}), verdict);
        QCOMPARE(log.countStartingWith("[Diagnostics] ERROR: Failed to open fle : "), unreadable);
    }

    void checkMeasuresEveryDevice()
    {
        FakeSystem system;
        system.plugAll();
        system.unplug("1-1.3");
        system.plug("1-1.5", "0403", "6001"); // another FTDI chip
        Local local;
        SignalRecorder recorder(&local.diagnostics);
        local.diagnostics.check();
        QCOMPARE(verdictOf(local.diagnostics, "usbHub"), QString("OK"));
        QCOMPARE(verdictOf(local.diagnostics, "mPCIe1"), QString("OK"));
        QCOMPARE(verdictOf(local.diagnostics, "rfidUsb"), QString("MISSING"));
        QCOMPARE(verdictOf(local.diagnostics, "usbHost"), QString("OK"));
        QCOMPARE(verdictOf(local.diagnostics, "ftdi"), QString("ERROR"));
        QCOMPARE(verdictOf(local.diagnostics, "barcodeUsb"), QString("OK"));
        QCOMPARE(verdictOf(local.diagnostics, "touch"), QString("OK"));
        QCOMPARE(verdictOf(local.diagnostics, "sdCard"), QString("OK"));
        QCOMPARE(recorder.names(),
                 QStringList({"barcodeUsbChanged", "ftdiChanged", "mPCIe1Changed", "rfidUsbChanged",
                              "sdCardChanged", "touchChanged", "usbHostChanged", "usbHubChanged"}));

        // Nothing changed, nothing told.
        recorder.clear();
        local.diagnostics.check();
        QCOMPARE(recorder.names(), QStringList());

        system.removeSdCard();
        local.diagnostics.check();
        QCOMPARE(verdictOf(local.diagnostics, "sdCard"), QString("MISSING"));
        QCOMPARE(recorder.names(), QStringList{"sdCardChanged"});
    }

    // While the page is open the check repeats: a reader unplugged shows within an interval,
    // and the verdicts stay after the page is closed.
    void repeatsWhileStarted()
    {
        FakeSystem system;
        system.plugAll();
        Local local;
        LogCapture log;
        local.diagnostics.start();
        QCOMPARE(verdictOf(local.diagnostics, "barcodeUsb"), QString("OK"));
        QCOMPARE(log.lines().value(0),
                 QString("[Diagnostics] Starting Diagnostic check (interval=1 sec)"));

        QSignalSpy barcode(&local.diagnostics, &Diagnostics::barcodeUsbChanged);
        system.unplug("1-1.6");
        QTRY_COMPARE_WITH_TIMEOUT(verdictOf(local.diagnostics, "barcodeUsb"), QString("MISSING"),
                                  WaitMs);
        QCOMPARE(barcode.count(), 1);

        local.diagnostics.stop();
        QVERIFY(log.contains("[Diagnostics] Stopping Diagnostic check"));
        system.plug("1-1.6", "05f9", "4204");
        QVERIFY(!local.diagnostics.findChild<QTimer *>() ||
                !local.diagnostics.findChild<QTimer *>()->isActive());
        QCOMPARE(verdictOf(local.diagnostics, "barcodeUsb"), QString("MISSING"));
    }

    void liveItems_data()
    {
        QTest::addColumn<QString>("topic");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("verdict");
        QTest::addColumn<QString>("notification");

        const auto board = [](const char *device) {
            return QByteArray(R"({"service": true, "device": {"active": true, )") + device + "}}";
        };
        const auto rfid = [](const char *reader) {
            return QByteArray(R"({"service": true, "device": {"rfid": )") + reader + "}}";
        };
        // Each row starts from a board at 25 °C and 24 V with its clock working.
        QTest::newRow("15.0 °C") << "velt/board/status" << board(R"("temperature": 15.0)")
                                 << "temperature"
                                 << "ERROR"
                                 << "temperatureChanged";
        QTest::newRow("15.1 °C") << "velt/board/status" << board(R"("temperature": 15.1)")
                                 << "temperature"
                                 << "OK"
                                 << "";
        QTest::newRow("70.0 °C") << "velt/board/status" << board(R"("temperature": 70.0)")
                                 << "temperature"
                                 << "ERROR"
                                 << "temperatureChanged";
        QTest::newRow("9.0 V") << "velt/board/status" << board(R"("voltage": 9.0)") << "voltage"
                               << "ERROR"
                               << "voltageChanged";
        QTest::newRow("40.0 V") << "velt/board/status" << board(R"("voltage": 40.0)") << "voltage"
                                << "ERROR"
                                << "voltageChanged";
        QTest::newRow("clock failed")
            << "velt/board/status" << board(R"("hardwareStatus": {"rtcFailed": true})") << "rtc"
            << "ERROR"
            << "rtcChanged";
        QTest::newRow("ignition on")
            << "velt/board/status" << board(R"("ignition": true)") << "ignition"
            << "OK"
            << "ignitionChanged";
        QTest::newRow("board service down")
            << "velt/board/status" << QByteArray(R"({"service": false})") << "boardService"
            << "ERROR"
            << "boardServiceChanged";
        QTest::newRow("cable plugged")
            << "velt/network/ethernet/state"
            << QByteArray(R"({"interface": "eth0", "stateStr": "Connected"})") << "ethernet"
            << "OK"
            << "ethernetChanged";
        QTest::newRow("cable state in other words")
            << "velt/network/ethernet/state"
            << QByteArray(R"({"interface": "eth0", "stateStr": "connected"})") << "ethernet"
            << "ERROR"
            << "ethernetChanged";
        QTest::newRow("card reader active")
            << "velt/blm/status" << rfid(R"({"state": 2, "active": true})") << "rfidService"
            << "OK"
            << "rfidServiceChanged";
        QTest::newRow("card reader active, no module")
            << "velt/blm/status" << rfid(R"({"state": 2, "active": true})") << "sam"
            << "ERROR"
            << "samChanged";
        QTest::newRow("card reader active, module without ATR")
            << "velt/blm/status"
            << rfid(R"({"state": 2, "active": true, "sams": [{"slot": 1, "atr": ""}]})") << "sam"
            << "ERROR"
            << "samChanged";
        QTest::newRow("card reader active, module with ATR")
            << "velt/blm/status"
            << rfid(R"({"state": 2, "active": true, "sams": [{"slot": 1, "atr": "3B6F00"}]})")
            << "sam"
            << "OK"
            << "samChanged";
        QTest::newRow("card reader idle, module with ATR")
            << "velt/blm/status"
            << rfid(R"({"state": 1, "active": false, "sams": [{"slot": 1, "atr": "3B6F00"}]})")
            << "sam"
            << "ERROR"
            << "samChanged";
        QTest::newRow("barcode reader active")
            << "velt/blm/info" << QByteArray(R"({"device": {"barcode": {"active": true}}})")
            << "barcodeService"
            << "OK"
            << "barcodeServiceChanged";
    }

    void liveItems()
    {
        QFETCH(QString, topic);
        QFETCH(QByteArray, payload);
        QFETCH(QString, item);
        QFETCH(QString, verdict);
        QFETCH(QString, notification);

        Local local;
        local.feed("velt/board/status", R"({"service": true, "device": {"active": true,
            "temperature": 25.0, "voltage": 24.0, "hardwareStatus": {"rtcFailed": false}}})");
        QCOMPARE(verdictOf(local.diagnostics, "temperature"), QString("OK"));
        QCOMPARE(verdictOf(local.diagnostics, "voltage"), QString("OK"));
        QCOMPARE(verdictOf(local.diagnostics, "boardService"), QString("OK"));
        SignalRecorder recorder(&local.diagnostics);
        local.feed(topic, payload);
        QCOMPARE(verdictOf(local.diagnostics, item.toLatin1().constData()), verdict);
        if (!notification.isEmpty())
            QVERIFY2(recorder.names().contains(notification),
                     qPrintable(recorder.names().join(',')));
    }

    void manualItems()
    {
        Local local;
        SignalRecorder recorder(&local.diagnostics);
        for (const char *item :
             {"buzzer", "leds", "speaker", "barcodeScan", "cardScan", "lightSensor", "rgbTest"}) {
            QVERIFY(local.diagnostics.setProperty(item, "OK"));
            QVERIFY(local.diagnostics.setProperty(item, "OK"));
            QCOMPARE(verdictOf(local.diagnostics, item), QString("OK"));
        }
        QCOMPARE(
            recorder.names(),
            QStringList({"barcodeScanChanged", "buzzerChanged", "cardScanChanged", "ledsChanged",
                         "lightSensorChanged", "rgbTestChanged", "speakerChanged"}));
    }

    // The whole report of a unit with a long firmware name, no secure access module and most
    // items untested, line by line.
    void reportText()
    {
        Local local;
        local.feed(
            "velt/board/info",
            R"({"device": {"firmwareVersion": "2.1.0-rc7+build.20261201.abcdef0123456789"}})");
        local.feed("velt/blm/info",
                   R"({"device": {"barcode": {"active": true, "firmware": "BC-4.2.1"}}})");
        local.diagnostics.setBuzzer("OK");
        local.diagnostics.setLeds("ERROR");
        const QString report =
            local.diagnostics.reportText(QDateTime(QDate(2026, 12, 8), QTime(14, 5)));

        QFile fixture(QFINDTESTDATA("fixtures/TestReport.txt"));
        QVERIFY(fixture.open(QIODevice::ReadOnly));
        const QStringList expected = QString::fromUtf8(fixture.readAll()).split('\n');
        const QStringList lines = report.split('\n');
        QCOMPARE(lines.size(), 37);
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(lines.value(i), expected.at(i));
        QCOMPARE(lines.size(), expected.size());
        QVERIFY(!report.endsWith('\n'));
    }

    void qrLine()
    {
        Local local;
        local.feed("velt/blm/status", R"({"service": true, "device": {"rfid": {"state": 2,
            "active": true, "firmware": "RF-1.9", "sams": [{"slot": 1, "atr": "3B6F00",
            "uid": "SAM-0042"}]}}})");
        local.diagnostics.setSpeaker("OK");
        const QStringList fields =
            local.diagnostics.qrLine(QDateTime(QDate(2026, 12, 8), QTime(14, 5))).split(';');
        QCOMPARE(fields.size(), 33);
        QCOMPARE(fields.mid(0, 9), QStringList({"C12345678", "2026-12-08 14:05", "SAM-0042", "",
                                                "RF-1.9", "", "1.0.18-1-g376f268", "", ""}));
        // rtc, ethernet, the USB items (untested), the SD card, buzzer, LEDs, ignition,
        // temperature, voltage, SAM, speaker, the scans, the services, light sensor, RGB.
        QCOMPARE(fields.mid(9),
                 QStringList({"OK", "ERROR", "", "",   "",      "",      "",      "",
                              "",   "",      "", "",   "ERROR", "ERROR", "ERROR", "OK",
                              "OK", "",      "", "OK", "ERROR", "ERROR", "",      ""}));
    }

    // Drawn as SVG, the code reads back as the same line.
    void qrCodeReadsBack()
    {
        QTemporaryDir folder;
        Local local;
        local.diagnostics.setCardScan("OK");
        const QString uri = local.diagnostics.generateQr();
        QVERIFY(uri.startsWith("data:image/svg,<?xml"));
        QVERIFY(!uri.contains('\n'));
        const QString line = local.diagnostics.qrLine(QDateTime::currentDateTime());
        const QString decoded = decodeQr(uri, folder.path());
        // The minute may have turned between the two.
        QCOMPARE(decoded.split(';').size(), 33);
        QCOMPARE(decoded.section(';', 2), line.section(';', 2));
        QCOMPARE(decoded.section(';', 0, 0), QString("C12345678"));
    }

    void reportFiles()
    {
        QTemporaryDir folder;
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(folder.path()));
        Local local;
        QSignalSpy finished(&local.diagnostics, &Diagnostics::saveReportFinished);
        LogCapture log;
        local.diagnostics.setRgbTest("OK");
        local.diagnostics.saveReport();
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).toBool(), true);
        const QString message = finished.at(0).at(1).toString();
        QVERIFY2(message.startsWith("Test report saved successfully:\n./TestReport_"),
                 qPrintable(message));
        const QString name = message.section('\n', 1);
        QVERIFY(QRegularExpression(R"(^\./TestReport_\d{8}_\d{4}\.txt$)").match(name).hasMatch());
        QFile file(name);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString saved = QString::fromUtf8(file.readAll());
        QCOMPARE(saved.split('\n').size(), 37);
        QVERIFY(saved.contains(" Display RGB Test " + QString("OK").rightJustified(35)));
        QVERIFY(log.contains("[Diagnostics] Saving Diagnostics report to : " + name));
        QVERIFY(log.contains("[Diagnostics] \n" + saved));

        // A second report in the same minute replaces the first, and nothing else is left.
        file.close();
        local.diagnostics.setRgbTest("ERROR");
        local.diagnostics.saveReport();
        QCOMPARE(finished.count(), 2);
        if (finished.at(1).at(1).toString() == message) {
            QVERIFY(file.open(QIODevice::ReadOnly));
            QVERIFY(QString::fromUtf8(file.readAll())
                        .contains(" Display RGB Test " + QString("ERROR").rightJustified(35)));
        }
        for (const QString &entry : QDir().entryList(QDir::Files))
            QVERIFY2(entry.startsWith("TestReport_") && entry.endsWith(".txt"), qPrintable(entry));
        QVERIFY(QDir::setCurrent(previous));
    }

    // A folder the program may not write to: the failure is told, the verdicts stay for
    // another try.
    void reportInAReadOnlyFolder()
    {
        QTemporaryDir folder;
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(folder.path()));
        QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::ExeOwner);
        Local local;
        local.diagnostics.setBuzzer("OK");
        QSignalSpy finished(&local.diagnostics, &Diagnostics::saveReportFinished);
        LogCapture log;
        {
            ServiceAccount account;
            local.diagnostics.saveReport();
        }
        QFile::setPermissions(folder.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).toBool(), false);
        QVERIFY2(finished.at(0).at(1).toString().startsWith("Could not save Test Report\nERROR: "),
                 qPrintable(finished.at(0).at(1).toString()));
        QCOMPARE(log.countStartingWith("[Diagnostics] ERROR: Could not save file : "), 1);
        QCOMPARE(QDir().entryList(QDir::Files), QStringList());
        QCOMPARE(local.diagnostics.buzzer(), QString("OK"));
        QVERIFY(QDir::setCurrent(previous));
    }

    // The disk fills up while the report is written: a failure, and the report already there
    // stays whole.
    void reportWriteFails()
    {
        QTemporaryDir folder;
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(folder.path()));
        Local local;
        QSignalSpy finished(&local.diagnostics, &Diagnostics::saveReportFinished);
        local.diagnostics.saveReport();
        QVERIFY(finished.at(0).at(0).toBool());
        const QString name = finished.at(0).at(1).toString().section('\n', 1);
        QFile file(name);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();

        {
            // The report is about 2 kB.
            FileSizeLimit full(100);
            local.diagnostics.setBuzzer("OK");
            local.diagnostics.saveReport();
        }
        QCOMPARE(finished.count(), 2);
        // The minute may have turned: then the failed report had a name of its own.
        QCOMPARE(finished.at(1).at(0).toBool(), false);
        QVERIFY(finished.at(1).at(1).toString().startsWith("Could not save Test Report\nERROR: "));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
        QCOMPARE(QDir().entryList(QDir::Files), QStringList{name.mid(2)});
        QVERIFY(QDir::setCurrent(previous));
    }
};

QTEST_MAIN(DiagnosticsTest)
#include "tst_diagnostics.moc"
