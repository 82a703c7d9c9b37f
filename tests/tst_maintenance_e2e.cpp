#include "MosquittoBroker.h"
#include "MqttObserver.h"
#include "Program.h"
#include "SimulatorRun.h"

#include <QElapsedTimer>
#include <QProcess>
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

QTEST_GUILESS_MAIN(MaintenanceEndToEndTest)
#include "tst_maintenance_e2e.moc"
