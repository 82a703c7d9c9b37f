#include "MosquittoBroker.h"
#include "MqttObserver.h"
#include "Program.h"
#include "SimulatorRun.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

constexpr int WaitMs = 20000;

// Where things are on the 480 x 800 window (the window lies at y = -1 on a bare X server).
// The PIN page: its block (entry line, 4 x 3 keys of 118 x 70 with gaps of 6 and 7, "LOGIN")
// centred below the 120-high header.
QPoint pinKey(QChar digit)
{
    const int index = digit == QLatin1Char('0') ? 10 : digit.digitValue() - 1;
    return {116 + (index % 3) * 124, 344 + (index / 3) * 77};
}
const QPoint LoginButton(240, 664);
const QPoint Clock(390, 70);
// The shell: a 70-high header (back at the left, menu at the right), eight rows below.
const QPoint BackButton(35, 34);
const QPoint MenuButton(445, 34);
const QPoint ScanConfigItem(370, 94);
const QPoint LogoutItem(370, 285);
// Below the pop-ups, which sit in the middle of the window.
const QPoint OutsideThePopup(240, 740);
QPoint settingsRow(int index)
{
    return {240, 70 + index * 730 / 8 + 45};
}
// The validator page's "Configure", and on the configuration page its QR switch and "Save".
const QPoint ConfigureButton(240, 755);
const QPoint QrPassbackSwitch(400, 374);
const QPoint SaveButton(340, 755);

// The self-test page scrolled to its end: three rows of test buttons, the last with "FINISH".
QPoint testButton(int index)
{
    return {108 + (index % 3) * 132, 638 + (index / 3) * 58};
}
enum TestButtons { Buzzer, Leds, Rfid, Barcode, Speaker, Sensor, Rgb, Finish };
// A test's question: "Yes" and "No" in the middle of the window.
const QPoint YesButton(160, 464);
const QPoint NoButton(320, 464);
// Page background at the right edge, dimmed while a pop-up is open.
const QPoint PageEdge(470, 560);
// Outside every pop-up, on rows that do nothing when tapped.
const QPoint BelowThePopups(240, 580);
// The Network page's Ethernet tab, its "Configure", and on the configuration page the address
// field and "Save".
const QPoint EthernetTab(360, 105);
const QPoint EthernetConfigureButton(240, 503);
const QPoint AddressField(320, 222);
const QPoint UpdateCheckButton(140, 754);
const QPoint UpdateInstallButton(340, 754);
// The update's progress bar, from its left end to its right end.
const int ProgressBarY = 260;
const int ProgressBarLeft = 52;
const int ProgressBarRight = 428;
// The event log's search field, its "CLEAR", and the coloured edge of its rows.
const QPoint SearchField(200, 111);
const QPoint ClearButton(405, 115);
const int EventRowEdgeX = 33;

const QRgb Accent = qRgb(0, 173, 215);
const QRgb DarkBackground = qRgb(48, 48, 48);

// The whole X screen, as a technician sees it.
QImage screen()
{
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(
        QImage::Format_RGB32);
}

// Nothing moves on the screen: two pictures a moment apart are the same. A pop-up that has faded
// out may still take a tap for a frame or two; this waits that out.
bool still()
{
    const QImage before = screen();
    QTest::qWait(100);
    return screen() == before;
}

bool colourAt(const QPoint &at, QRgb colour)
{
    return (screen().pixel(at) & 0xffffff) == (colour & 0xffffff);
}

// Rows of the event log's list that are drawn above the keyboard.
int eventRows()
{
    const QImage image = screen();
    int rows = 0;
    bool inRow = false;
    for (int y = 200; y < 640; ++y) {
        const bool edge = (image.pixel(EventRowEdgeX, y) & 0xffffff) == (Accent & 0xffffff);
        rows += edge && !inRow;
        inRow = edge;
    }
    return rows;
}

// Pixels of the on-screen keyboard's black in a band of the window.
int blackPixels(int top, int bottom)
{
    const QImage image = screen();
    int black = 0;
    for (int y = top; y < bottom; ++y) {
        for (int x = 20; x < 460; ++x)
            black += qRed(image.pixel(x, y)) < 8 && qGreen(image.pixel(x, y)) < 8 &&
                     qBlue(image.pixel(x, y)) < 8;
    }
    return black;
}

// The text of the QR code on the screen, read back from a picture of it; empty when none reads.
QString qrCodeOnScreen()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("screen.png"));
    // Three times larger: a module of the code is only a few pixels wide on the window.
    const QImage image = screen();
    if (!image.scaled(image.size() * 3).save(file))
        return {};
    QProcess zbar;
    zbar.start(QStringLiteral("zbarimg"), {"--raw", "-q", "--nodbus", file});
    if (!zbar.waitForFinished(20000) || zbar.exitCode() != 0)
        return {};
    return QString::fromUtf8(zbar.readAllStandardOutput()).trimmed();
}

// A saved test report, label and value per line, in the order of the file.
QList<QPair<QString, QString>> reportFields(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QPair<QString, QString>> fields;
    for (const QString &line : QString::fromUtf8(file.readAll()).split('\n')) {
        const QString text = line.mid(1);
        if (!line.startsWith(' ') || text.startsWith(QLatin1String("DEVICE TEST REPORT")))
            continue;
        // The label, then at least two blanks (three before a long value), then the value.
        const int gap = text.indexOf(QLatin1String("  "));
        fields.append({text.left(gap).trimmed(), gap < 0 ? QString() : text.mid(gap).trimmed()});
    }
    return fields;
}

// A real pointer event, from outside the program.
void tap(const QPoint &at, int times = 1)
{
    QStringList args{"mousemove", QString::number(at.x()), QString::number(at.y()), "click"};
    if (times > 1)
        args << "--repeat" << QString::number(times) << "--delay"
             << "120";
    args << "1";
    QCOMPARE(QProcess::execute("xdotool", args), 0);
}

// Keys typed into the field that has the focus, as a keyboard plugged into the unit would.
void type(const QString &text)
{
    QCOMPARE(QProcess::execute("xdotool", {"key", "ctrl+a"}), 0);
    QCOMPARE(QProcess::execute("xdotool", {"type", "--delay", "40", text}), 0);
    QCOMPARE(QProcess::execute("xdotool", {"key", "Return"}), 0);
}

// Scrolls the page under the pointer to its end.
void scrollToEnd()
{
    QCOMPARE(QProcess::execute("xdotool", {"mousemove", "240", "400", "click", "--repeat", "12",
                                           "--delay", "40", "5"}),
             0);
}

} // namespace

// The maintenance area of the real program under X, with a broker and the simulator, operated
// with the pointer as a technician would.
class MaintenanceEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(!qgetenv("DISPLAY").isEmpty(), "runs under an X server (xvfb-run)");
        m_broker = std::make_unique<MosquittoBroker>();
        QVERIFY(m_broker->start());
        QVERIFY(m_observer.connectTo(m_broker->host(), m_broker->port()));
        m_simulator = std::make_unique<SimulatorRun>(m_broker->host(), m_broker->port());
        QTRY_VERIFY_WITH_TIMEOUT(
            m_simulator->client().state() == manager::MosquittoClient::Connected, WaitMs);
        QCOMPARE(m_simulator->execute("ignition on"), QString());
        QCOMPARE(m_simulator->execute("validator online"), QString());

        // A unit with its serial number, next to its configuration.
        m_program = std::make_unique<Program>(
            QStringList{"-e", "-H", m_broker->host(), "-P", QString::number(m_broker->port())},
            QMap<QString, QByteArray>{{"serialnumber", "C00001234"},
                                      {"gui.conf", "[gui]\ndeviceId=serialnumber\n"}});
        QTRY_VERIFY_WITH_TIMEOUT(shown("[GUIManager] Setting screen : ScanScreens"), WaitMs);
    }

    void cleanupTestCase()
    {
        // The program's own account, for whoever reads a failure.
        if (m_program) {
            const QStringList lines = m_program->log().split('\n');
            qInfo().noquote() << lines.mid(qMax(0, lines.size() - 40)).join('\n');
        }
        m_program.reset();
        m_simulator.reset();
        m_broker.reset();
    }

    void threeTapsOnTheClockOpenThePinPage()
    {
        tap(Clock, 3);
        QTRY_VERIFY_WITH_TIMEOUT(shown("[GUIManager] Setting screen : Login"), WaitMs);
    }

    // Denied, the entry is emptied: the right PIN typed after it then lets the technician in.
    void wrongPinThenTheRightOne()
    {
        typePin("1111");
        QTRY_VERIFY_WITH_TIMEOUT(shown("[QML] Settings access denied"), WaitMs);
        QVERIFY(!m_program->log().contains("[QML] Settings access granted"));

        m_observer.clear();
        typePin("5826");
        QTRY_VERIFY_WITH_TIMEOUT(shown("[QML] Settings access granted"), WaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(shown("[GUIManager] Setting screen : Settings"), WaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(lastStatus().value("technician").toBool(), WaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(shown("[QML] Settings page shown : SettingsList"), WaitMs);
    }

    // The board is asked for fresh values every second while the Display page is open only.
    void displayPageRefreshesTheBoard()
    {
        const QString requests = "velt/board/status/get";
        tap(settingsRow(4));
        QTRY_VERIFY_WITH_TIMEOUT(shown("[QML] Settings page shown : Display"), WaitMs);
        m_observer.clear();
        QTRY_VERIFY_WITH_TIMEOUT(m_observer.messages(requests).size() >= 3, WaitMs);

        tap(BackButton);
        QTRY_VERIFY_WITH_TIMEOUT(m_program->count("[Board] Monitor stopped") >= 1, WaitMs);
        const int before = m_observer.messages(requests).size();
        // Three periods of the monitor: none may come now.
        QElapsedTimer watch;
        watch.start();
        while (watch.elapsed() < 3000)
            QTest::qWait(100);
        QVERIFY2(m_observer.messages(requests).size() <= before + 1,
                 qPrintable(QString::number(m_observer.messages(requests).size() - before)));
    }

    // Saved on the configuration page, it reaches the validator service and comes back.
    void validatorConfigurationReachesTheService()
    {
        QTRY_VERIFY_WITH_TIMEOUT(m_program->count("[QML] Settings page shown : SettingsList") >= 2,
                                 WaitMs);
        QVERIFY(shown("[Validator] Passback QR En  : false"));
        tap(settingsRow(0));
        QTRY_VERIFY_WITH_TIMEOUT(shown("[QML] Settings page shown : Validator"), WaitMs);
        tap(ConfigureButton);
        QTRY_VERIFY_WITH_TIMEOUT(shown("[QML] Settings page shown : ValidatorConfig"), WaitMs);
        tap(QrPassbackSwitch);
        tap(SaveButton);
        QTRY_COMPARE_WITH_TIMEOUT(qrPassback(), QString("true"), WaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(shown("[Validator] Passback QR En  : true"), WaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(m_program->count("[QML] Settings page shown : Validator") >= 2,
                                 WaitMs);
    }

    // Configuration codes are accepted only while the barcode pop-up is open: closing it
    // disables the reader, opening it again enables it.
    void barcodePopupEnablesTheReaderWhileOpen()
    {
        m_observer.clear();
        openBarcodePopup();
        tap(OutsideThePopup);
        QTRY_VERIFY_WITH_TIMEOUT(!m_observer.messages("velt/barcode/disable").isEmpty(), WaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(!barcodeEnabled(), WaitMs);

        m_observer.clear();
        openBarcodePopup();
        QTRY_VERIFY_WITH_TIMEOUT(!m_observer.messages("velt/barcode/enable").isEmpty(), WaitMs);
        QVERIFY(m_observer.messages("velt/barcode/disable").isEmpty());
        tap(OutsideThePopup);
        QTRY_VERIFY_WITH_TIMEOUT(!m_observer.messages("velt/barcode/disable").isEmpty(), WaitMs);
        backToList();
    }

    // Every test of the self-test page answered with the pointer, the readers tried with the
    // simulator, then FINISH: the report lands in the working folder with the verdicts given, and
    // the QR code on the screen holds the same fields.
    void selfTestAnsweredAndReported()
    {
        openPage(1, "Diagnostics");
        scrollToEnd();
        QTRY_VERIFY_WITH_TIMEOUT(colourAt(testButton(Finish) + QPoint(-40, -12), Accent) && still(),
                                 WaitMs);

        const struct
        {
            int button;
            bool yes;
        } answers[] = {{Buzzer, true}, {Leds, false}, {Speaker, true}, {Sensor, false}};
        for (const auto &answer : answers)
            answerTest(answer.button, answer.yes);

        // The card reader's pop-up follows a card in and out of the field.
        tap(testButton(Rfid));
        QTRY_VERIFY_WITH_TIMEOUT(popupOpen() && still(), WaitMs);
        QCOMPARE(m_simulator->execute("card-found 04A2B3C4D5E680 256"), QString());
        QTRY_VERIFY_WITH_TIMEOUT(shown("Validator card detected : uid=04A2B3C4D5E680"), WaitMs);
        QCOMPARE(m_simulator->execute("card-removed"), QString());
        QTRY_VERIFY_WITH_TIMEOUT(shown("Validator card removed"), WaitMs);
        tap(BelowThePopups);
        QTRY_VERIFY_WITH_TIMEOUT(popupGone(), WaitMs);

        // A ticket read while the barcode pop-up is open passes the test and closes it.
        // The ticket once the pop-up is up, as a technician scans it after reading it.
        tap(testButton(Barcode));
        QTRY_VERIFY_WITH_TIMEOUT(popupOpen() && still(), WaitMs);
        QCOMPARE(m_simulator->execute("ticket valid"), QString());
        QTRY_VERIFY_WITH_TIMEOUT(popupGone(), WaitMs);
        QVERIFY(!shown("Setting screen : Valid"));

        // The colour test over the whole screen, one tap per colour, then its question, with no
        // keyboard coming up over it.
        tap(testButton(Rgb));
        const QPoint middle(240, 400);
        for (const QRgb colour : {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)}) {
            QTRY_VERIFY_WITH_TIMEOUT(colourAt(middle, colour), WaitMs);
            QVERIFY(colourAt({240, 20}, colour)); // no header over it
            tap(middle);
        }
        QTRY_VERIFY_WITH_TIMEOUT(colourAt(YesButton + QPoint(-30, 0), Accent), WaitMs);
        QVERIFY2(blackPixels(100, 250) < 2000, qPrintable(QString::number(blackPixels(100, 250))));
        tap(YesButton);
        QTRY_VERIFY_WITH_TIMEOUT(popupGone(), WaitMs);

        scrollToEnd();
        QTRY_VERIFY_WITH_TIMEOUT(colourAt(testButton(Finish) + QPoint(-40, -12), Accent) && still(),
                                 WaitMs);
        tap(testButton(Finish));
        QDir folder(m_program->path(QStringLiteral(".")));
        QTRY_VERIFY_WITH_TIMEOUT(!folder.entryList({"TestReport_*.txt"}).isEmpty(), WaitMs);
        const QString report = folder.filePath(folder.entryList({"TestReport_*.txt"}).first());
        const QList<QPair<QString, QString>> fields = reportFields(report);
        QCOMPARE(fields.size(), 32);
        const auto value = [&fields](const QString &label, int occurrence = 0) {
            for (const auto &field : fields) {
                if (field.first == label && occurrence-- == 0)
                    return field.second;
            }
            return QStringLiteral("<no such line>");
        };
        QCOMPARE(value("Device UID"), QString("C00001234"));
        QCOMPARE(value("Buzzer"), QString("OK"));
        QCOMPARE(value("Front LEDs"), QString("ERROR"));
        QCOMPARE(value("Light Sensor"), QString("ERROR"));
        QCOMPARE(value("Card Scan"), QString("OK"));
        QCOMPARE(value("Barcode Scan"), QString("OK"));
        QCOMPARE(value("Display RGB Test"), QString("OK"));

        QString qr;
        QTRY_VERIFY_WITH_TIMEOUT(!(qr = qrCodeOnScreen()).isEmpty(), WaitMs);
        const QStringList qrFields = qr.split(';');
        QCOMPARE(qrFields.size(), 33);
        // Each field of the code, by the line of the report that holds the same value (the
        // speaker is in the code only).
        const struct
        {
            int index;
            const char *label;
            int occurrence;
        } same[] = {{0, "Device UID", 0},
                    {2, "SAM", 0},
                    {3, "Barcode Firmware", 0},
                    {4, "RFID Firmware", 0},
                    {5, "Board Firmware", 0},
                    {6, "App Version", 0},
                    {9, "RTC", 0},
                    {10, "Ethernet", 0},
                    {11, "USB Hub", 0},
                    {12, "mPCIe #1", 0},
                    {13, "RFID", 0},
                    {14, "Barcode", 0},
                    {15, "FTDI", 0},
                    {16, "USB Host", 0},
                    {17, "Touch", 0},
                    {18, "SD Card", 0},
                    {19, "Buzzer", 0},
                    {20, "Front LEDs", 0},
                    {21, "Ignition", 0},
                    {22, "Temperature", 0},
                    {23, "Voltage", 0},
                    {24, "SAM", 1},
                    {26, "Barcode Scan", 0},
                    {27, "Card Scan", 0},
                    {28, "RFID Manager", 0},
                    {29, "Barocde Manager", 0},
                    {30, "Board Manager", 0},
                    {31, "Light Sensor", 0},
                    {32, "Display RGB Test", 0}};
        for (const auto &field : same)
            QCOMPARE(qrFields.at(field.index), value(field.label, field.occurrence));
        QCOMPARE(qrFields.at(25), QString("OK")); // the speaker
        // Made a moment apart: the same minute, or the next.
        const QString format = QStringLiteral("yyyy-MM-dd HH:mm");
        const qint64 apart = QDateTime::fromString(value("Date"), format)
                                 .secsTo(QDateTime::fromString(qrFields.at(1), format));
        QVERIFY2(apart == 0 || apart == 60, qPrintable(qrFields.at(1) + " " + value("Date")));

        // Closing the report leaves the page.
        const int lists = m_program->count("Settings page shown : SettingsList");
        tap(BelowThePopups + QPoint(0, 150));
        QTRY_VERIFY_WITH_TIMEOUT(m_program->count("Settings page shown : SettingsList") > lists,
                                 WaitMs);
    }

    // A wrong address is refused on the page; a right one goes to the network service, which
    // reports it back on the Ethernet tab.
    void ethernetConfigurationReportedBack()
    {
        openPage(5, "Network");
        tap(EthernetTab);
        tap(EthernetConfigureButton);
        QTRY_VERIFY_WITH_TIMEOUT(shown("Settings page shown : EthernetConfig"), WaitMs);
        tap(AddressField);
        type("300.1.1.1");
        tap(SaveButton);
        QTRY_VERIFY_WITH_TIMEOUT(popupOpen(), WaitMs);
        QVERIFY(!shown("[Network][Ethernet] Saving configuration"));
        tap(BelowThePopups);
        QTRY_VERIFY_WITH_TIMEOUT(popupGone(), WaitMs);

        tap(AddressField);
        type("192.168.5.20");
        tap(SaveButton);
        QTRY_VERIFY_WITH_TIMEOUT(shown("[Network][Ethernet] Address : 192.168.5.20"), WaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(
            m_program->log().contains(QRegularExpression(
                "Processing state topic velt/network/ethernet/state\\n.*IPv4 changed : "
                "[^\\n]*192\\.168\\.5\\.20")),
            WaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(m_program->count("Settings page shown : Network") >= 2, WaitMs);
        backToList();
    }

    // Install is offered once a check finds a version; its progress shows, then the new version.
    void updateInstalledFromThePage()
    {
        QCOMPARE(m_simulator->execute("device pending 1.1.0"), QString());
        openPage(6, "Update");
        const QPoint install = UpdateInstallButton + QPoint(-60, -10);
        QVERIFY(!colourAt(install, Accent));
        tap(UpdateCheckButton);
        QTRY_VERIFY_WITH_TIMEOUT(colourAt(install, Accent), WaitMs);

        m_observer.clear();
        tap(UpdateInstallButton);
        // The bar part filled at some moment: look until the service reports its end.
        bool partFilled = false;
        QTRY_VERIFY_WITH_TIMEOUT((partFilled = partFilled || progressPartFilled(),
                                  lastSoftwareVersion() == QLatin1String("1.1.0")),
                                 WaitMs);
        QVERIFY(partFilled);
        QTRY_VERIFY_WITH_TIMEOUT(!colourAt(install, Accent), WaitMs);
        backToList();
    }

    // A search of the event log finds the login made by this session, and only it.
    void eventLogSearchFindsTheLogin()
    {
        openPage(7, "EventLog");
        QTRY_VERIFY_WITH_TIMEOUT(eventRows() >= 2, WaitMs); // started, logged in, ...
        tap(SearchField);
        type("login");
        QTRY_VERIFY_WITH_TIMEOUT(shown("[EventManager] Filtering : name=login"), WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(eventRows(), 1, WaitMs);
        tap(SearchField);
        type("no such event");
        QTRY_COMPARE_WITH_TIMEOUT(eventRows(), 0, WaitMs);
        tap(ClearButton);
        QTRY_VERIFY_WITH_TIMEOUT(eventRows() >= 2, WaitMs);
        backToList();
    }

    void logoutEndsTheSession()
    {
        tap(MenuButton);
        tap(LogoutItem);
        QTRY_VERIFY_WITH_TIMEOUT(m_program->count("[GUIManager] Setting screen : ScanScreens") >= 2,
                                 WaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(!lastStatus().value("technician").toBool(true), WaitMs);
    }

private:
    bool shown(const QString &line) { return m_program->log().contains(line); }

    // From any page of the shell back to its list.
    void backToList()
    {
        const int lists = m_program->count("Settings page shown : SettingsList");
        tap(BackButton);
        QTRY_VERIFY_WITH_TIMEOUT(m_program->count("Settings page shown : SettingsList") > lists,
                                 WaitMs);
    }

    void openPage(int row, const QString &name)
    {
        const QString line = "Settings page shown : " + name;
        const int before = m_program->count(line);
        tap(settingsRow(row));
        QTRY_VERIFY_WITH_TIMEOUT(m_program->count(line) > before, WaitMs);
    }

    // The modal pop-ups dim the page behind them.
    bool popupOpen() { return !colourAt(PageEdge, DarkBackground); }
    bool popupGone() { return !popupOpen() && still(); }

    void answerTest(int button, bool yes)
    {
        tap(testButton(button));
        QTRY_VERIFY_WITH_TIMEOUT(colourAt(YesButton + QPoint(-30, 0), Accent), WaitMs);
        tap(yes ? YesButton : NoButton);
        QTRY_VERIFY_WITH_TIMEOUT(popupGone(), WaitMs);
    }

    bool progressPartFilled()
    {
        const QImage image = screen();
        const auto filled = [&image](int x) {
            return (image.pixel(x, ProgressBarY) & 0xffffff) == (Accent & 0xffffff);
        };
        return filled(ProgressBarLeft + 2) && !filled(ProgressBarRight - 2);
    }

    // The installed version the device service last reported.
    QString lastSoftwareVersion() const
    {
        const auto messages = m_observer.messages("velt/device/status");
        if (messages.isEmpty())
            return {};
        const QJsonObject status = QJsonDocument::fromJson(messages.last().payload).object();
        return status.value("update")
            .toObject()
            .value("software")
            .toObject()
            .value("current")
            .toString();
    }

    void typePin(const QString &pin)
    {
        for (const QChar digit : pin)
            tap(pinKey(digit));
        tap(LoginButton);
    }

    QJsonObject lastStatus() const
    {
        const auto messages = m_observer.messages("velt/ui/status");
        return messages.isEmpty() ? QJsonObject()
                                  : QJsonDocument::fromJson(messages.last().payload).object();
    }

    void openBarcodePopup()
    {
        tap(MenuButton);
        tap(ScanConfigItem);
    }

    // The reader as the validator service last reported it.
    bool barcodeEnabled() const
    {
        const auto messages = m_observer.messages("velt/blm/status");
        if (messages.isEmpty())
            return true;
        const QJsonObject status = QJsonDocument::fromJson(messages.last().payload).object();
        return status.value("device")
            .toObject()
            .value("barcode")
            .toObject()
            .value("enabled")
            .toBool();
    }

    // The validator service's setting, as it last reported its configuration.
    QString qrPassback() const
    {
        const auto messages = m_observer.messages("velt/blm/config");
        if (messages.isEmpty())
            return {};
        const QJsonObject config = QJsonDocument::fromJson(messages.last().payload).object();
        return config.value("validator").toObject().value("qr_passback").toString();
    }

    std::unique_ptr<MosquittoBroker> m_broker;
    MqttObserver m_observer;
    std::unique_ptr<SimulatorRun> m_simulator;
    std::unique_ptr<Program> m_program;
};

QTEST_MAIN(MaintenanceEndToEndTest)
#include "tst_maintenance_e2e.moc"
