#include "CoreFixture.h"
#include "FileSizeLimit.h"
#include "LogCapture.h"
#include "ServiceAccount.h"

#include <QDir>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QProcess>
#include <QQmlContext>
#include <QQmlEngine>
#include <QSignalSpy>
#include <QtTest>

namespace {

constexpr int WaitMs = 10000;

// One step of a row: a starting condition or the event under test.
void apply(CoreFixture &f, const QString &step)
{
    GUIManager &m = f.manager();
    if (step == "ignition" || step == "ignition-on")
        f.ignition(true);
    else if (step == "ignition-off")
        f.ignition(false);
    else if (step == "boot-on" || step == "boot-off")
        f.boardStatus(step == "boot-on");
    else if (step.startsWith("status:"))
        f.validatorStatus(step.mid(7));
    else if (step == "session" || step == "login")
        m.settingsLoginRequest("5826");
    else if (step == "logout")
        m.settingsLogoutRequest();
    else if (step == "button")
        m.setMaintenanceScreen();
    else if (step == "timeout")
        QMetaObject::invokeMethod(&m, "onScreenTimeout");
    else if (step == "valid")
        f.result(true);
    else if (step.startsWith("invalid:"))
        f.result(false, step.mid(8).toInt());
    else if (step == "retry")
        f.retry();
    else if (step == "disconnected")
        emit m.mqtt().disconnected();
    else if (step == "save-serial")
        m.saveDeviceIdRequest("K87654321");
    else if (step == "shutdown")
        m.shutdownRequest();
    else if (step == "reboot")
        m.rebootRequest();
    else if (step == "exit")
        m.exitRequest();
    else if (step == "reboot-started")
        m.inspector().systemReboot();
    else if (!step.isEmpty())
        QFAIL(qPrintable("unknown step " + step));
}

QString lastPlayed(const CoreFixture &f)
{
    const auto plays =
        const_cast<CoreFixture &>(f).observer().messages("velt/inspector/audio/play");
    if (plays.isEmpty())
        return {};
    return QJsonDocument::fromJson(plays.last().payload).object().value("filepath").toString();
}

} // namespace

class ScreensTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_broker = std::make_unique<MosquittoBroker>();
        QVERIFY(m_broker->start());
    }
    void cleanupTestCase() { m_broker.reset(); }

    void startsBusy()
    {
        CoreFixture f(*m_broker);
        QCOMPARE(f.manager().screen(), QString("Busy"));
        QCOMPARE(f.manager().screenTimeout(), 10000);
        QVERIFY(f.waitConnected());
        QCOMPARE(f.manager().message(), QString("Connected"));
        QCOMPARE(f.manager().deviceId(), QString("C12345678"));
    }

    void transitions_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("event");
        QTest::addColumn<QString>("screen");
        QTest::addColumn<int>("timeout");
        QTest::addColumn<QString>("effects"); // separated by ";"

        const QString idle = "ignition status:online";
        QTest::newRow("time-out ends on the idle screen") << idle << "timeout"
                                                          << "ScanScreens" << -1 << "";
        QTest::newRow("online switches the readers on") << "ignition"
                                                        << "status:online"
                                                        << "ScanScreens" << -1 << "readers:on";
        QTest::newRow("degraded is idle too") << "ignition"
                                              << "status:degraded"
                                              << "ScanScreens" << -1 << "readers:on";
        QTest::newRow("out of service switches the readers off")
            << "ignition"
            << "status:out-of-service"
            << "OutOfService" << -1 << "readers:off";
        QTest::newRow("init waits") << "ignition"
                                    << "status:init"
                                    << "Busy" << -1 << "message:Please Wait";
        QTest::newRow("offline is out of order with its code")
            << "ignition"
            << "status:offline"
            << "OutOfOrder" << -1 << "message:#0002;readers:off";
        QTest::newRow("no out of order with the ignition off: asleep")
            << "ignition-off"
            << "status:offline"
            << "ScreenSaver" << -1 << "readers:off";
        QTest::newRow("ignition not reported yet: out of order")
            << ""
            << "status:offline"
            << "OutOfOrder" << -1 << "message:#0002;readers:off";
        QTest::newRow("ignition already off at boot")
            << ""
            << "boot-off"
            << "ScreenSaver" << -1 << "event:Ignition off;shutdown:armed";
        QTest::newRow("ignition on at boot")
            << "status:online"
            << "boot-on"
            << "ScanScreens" << -1 << "event:Ignition on;shutdown:none";
        QTest::newRow("init after out of order keeps its message")
            << "ignition status:offline"
            << "status:init"
            << "Busy" << -1 << "message:Please Wait";
        QTest::newRow("disconnection") << idle << "disconnected"
                                       << "OutOfOrder" << -1 << "message:Disconnected";
        QTest::newRow("disconnection on the PIN page keeps it and its time-out")
            << idle + " button"
            << "disconnected"
            << "Login" << 15000 << "";
        QTest::newRow("PIN page time-out while out of order")
            << "ignition status:offline button"
            << "timeout"
            << "OutOfOrder" << -1 << "message:#0002";
        QTest::newRow("second press leaves the PIN page while out of order")
            << "ignition status:offline button"
            << "button"
            << "OutOfOrder" << -1 << "message:#0002";
        QTest::newRow("PIN page time-out after a disconnection applies the rule")
            << idle + " button disconnected"
            << "timeout"
            << "OutOfOrder" << -1 << "message:#0001";
        QTest::newRow("valid result") << idle << "valid"
                                      << "Valid" << 3000 << "sound:Valid";
        QTest::newRow("ticket already validated") << idle << "invalid:103"
                                                  << "AlreadyValid" << 3000 << "sound:Invalid";
        QTest::newRow("card already validated") << idle << "invalid:207"
                                                << "AlreadyValid" << 3000 << "sound:Invalid";
        QTest::newRow("203 is plainly invalid") << idle << "invalid:203"
                                                << "Invalid" << 3000 << "sound:Invalid";
        QTest::newRow("invalid result") << idle << "invalid:205"
                                        << "Invalid" << 3000 << "sound:Invalid";
        QTest::newRow("card retry") << idle << "retry"
                                    << "Retry" << 3000 << "sound:Invalid";
        QTest::newRow("the same result again restarts its time")
            << idle + " valid"
            << "valid"
            << "Valid" << 3000 << "sound:Valid";
        QTest::newRow("status change ends a result at once") << idle + " valid"
                                                             << "status:degraded"
                                                             << "ScanScreens" << -1 << "";
        QTest::newRow("result over the screen saver") << idle + " ignition-off"
                                                      << "valid"
                                                      << "Valid" << 3000 << "sound:Valid";
        QTest::newRow("result over the screen saver ends on the idle screen")
            << idle + " ignition-off valid"
            << "timeout"
            << "ScanScreens" << -1 << "";
        QTest::newRow("result ends asleep when out of order with the ignition off")
            << "ignition status:offline ignition-off valid"
            << "timeout"
            << "ScreenSaver" << -1 << "";
        QTest::newRow("reboot screen during a session ends in the maintenance area")
            << idle + " session reboot"
            << "timeout"
            << "Settings" << -1 << "";
        QTest::newRow("result during a session is not shown")
            << idle + " session"
            << "valid"
            << "ScanScreens" << -1 << "sound:none";
        QTest::newRow("retry during a session is not shown") << idle + " session"
                                                             << "retry"
                                                             << "ScanScreens" << -1 << "sound:none";
        QTest::newRow("out of order frozen during a session") << idle + " session"
                                                              << "status:offline"
                                                              << "ScanScreens" << -1 << "";
        QTest::newRow("hidden button opens the PIN page") << idle << "button"
                                                          << "Login" << 15000 << "";
        QTest::newRow("hidden button again leaves it") << idle + " button"
                                                       << "button"
                                                       << "ScanScreens" << -1 << "";
        QTest::newRow("hidden button during a session") << idle + " session"
                                                        << "button"
                                                        << "Settings" << -1 << "";
        QTest::newRow("login") << idle << "login"
                               << "ScanScreens" << -1 << "event:Maintenance login;technician:true";
        QTest::newRow("logout") << idle + " session button"
                                << "logout"
                                << "ScanScreens" << -1
                                << "event:Maintenance logout;technician:false";
        QTest::newRow("ignition off")
            << idle + " session"
            << "ignition-off"
            << "ScreenSaver" << -1
            << "event:Ignition off;event:Maintenance logout;shutdown:armed;technician:false";
        QTest::newRow("ignition on") << idle + " ignition-off"
                                     << "ignition-on"
                                     << "ScanScreens" << -1 << "event:Ignition on;shutdown:none";
        QTest::newRow("shutdown request") << idle << "shutdown"
                                          << "Busy" << 30000 << "message:Shutting down";
        QTest::newRow("reboot request") << idle << "reboot"
                                        << "Busy" << 30000 << "message:Rebooting";
        QTest::newRow("exit request") << idle << "exit"
                                      << "Busy" << 30000 << "message:Exiting";
        QTest::newRow("reboot announced") << idle << "reboot-started"
                                          << "Busy" << 30000 << "message:Rebooting";
        QTest::newRow("serial number saved") << "noserial " + idle << "save-serial"
                                             << "ScanScreens" << -1 << "serial:K87654321";
        QTest::newRow("no serial number, even in a session") << "noserial ignition session"
                                                             << "status:online"
                                                             << "InitPage" << -1 << "";
    }

    void transitions()
    {
        QFETCH(QString, setup);
        QFETCH(QString, event);
        QFETCH(QString, screen);
        QFETCH(int, timeout);
        QFETCH(QString, effects);

        const QStringList steps = setup.split(' ', Qt::SkipEmptyParts);
        CoreFixture f(*m_broker, steps.contains("noserial") ? QByteArray() : "C12345678");
        QVERIFY(f.waitReady());
        QVERIFY(f.manager().eventLog().entries().isEmpty());
        for (const QString &step : steps) {
            if (step != "noserial")
                apply(f, step);
        }
        // What the set-up asked for is on the broker before we look.
        QVERIFY(f.drain());
        f.observer().clear();

        apply(f, event);
        QCOMPARE(f.manager().screen(), screen);
        QCOMPARE(f.manager().screenTimeout(), timeout);

        for (const QString &effect : effects.split(';', Qt::SkipEmptyParts)) {
            const QString what = effect.section(':', 0, 0);
            const QString value = effect.section(':', 1);
            if (what == "message") {
                QCOMPARE(f.manager().message(), value);
            } else if (what == "sound" && value == "none") {
                QVERIFY(f.drain());
                QCOMPARE(f.published("velt/inspector/audio/play"), 0);
            } else if (what == "sound") {
                QTRY_COMPARE_WITH_TIMEOUT(lastPlayed(f), "/opt/velt/pernix/" + value + ".wav",
                                          WaitMs);
            } else if (what == "readers") {
                const QString suffix = value == "on" ? "enable" : "disable";
                QTRY_COMPARE_WITH_TIMEOUT(f.published("velt/rfid/" + suffix), 1, WaitMs);
                QTRY_COMPARE_WITH_TIMEOUT(f.published("velt/barcode/" + suffix), 1, WaitMs);
            } else if (what == "event") {
                QVERIFY2(f.eventNames().contains(value), qPrintable(f.eventNames().join(", ")));
            } else if (what == "technician") {
                QTRY_VERIFY_WITH_TIMEOUT(f.published("velt/ui/status") > 0, WaitMs);
                const auto status = f.observer().messages("velt/ui/status").last().payload;
                QCOMPARE(QJsonDocument::fromJson(status).object().value("technician").toBool(),
                         value == "true");
            } else if (what == "shutdown") {
                const int remaining = f.manager().inspector().shutdownRemainingMs();
                QVERIFY(value == "armed" ? remaining > 55000 : remaining == -1);
            } else if (what == "serial") {
                QCOMPARE(f.manager().deviceId(), value);
                QFile file(f.path("serialnumber"));
                QVERIFY(file.open(QIODevice::ReadOnly));
                QCOMPARE(QString::fromUtf8(file.readAll()), value);
            } else {
                QFAIL(qPrintable("unknown effect " + effect));
            }
        }
    }

    void permanentAndTemporaryScreens()
    {
        CoreFixture f(*m_broker);
        GUIManager &m = f.manager();
        QSignalSpy changed(&m, &GUIManager::screenChanged);
        LogCapture log;

        // The same permanent screen: nothing at all, and the running time-out goes on.
        m.setScreen(QString("Busy"));
        QCOMPARE(changed.count(), 0);
        QCOMPARE(m.screenTimeout(), 10000);
        QVERIFY(!log.contains("[GUIManager] Setting screen : Busy"));

        // A temporary screen always applies.
        m.setScreen("Valid", 3000);
        m.setScreen("Valid", 3000);
        QCOMPARE(changed.count(), 2);
        QCOMPARE(log.count("[GUIManager] Setting screen : Valid (timeout=3000 msec)"), 2);

        // A different permanent screen stops the time-out.
        m.setScreen(QString("Settings"));
        QCOMPARE(m.screenTimeout(), -1);
        QVERIFY(log.contains("[GUIManager] Setting screen : Settings"));
    }

    void displayOff()
    {
        CoreFixture f(*m_broker);
        QVERIFY(f.waitConnected());
        f.ignition(true);
        f.inject("velt/board/power", R"({"display": true})");
        LogCapture log;

        f.validatorStatus("out-of-service");
        QVERIFY(f.manager().displayOffPending());
        QVERIFY(log.contains("[GUIManager] Staring Display OFF timer : 3 min(s)"));
        QMetaObject::invokeMethod(&f.manager(), "onDisplayOffTimeout");
        QTRY_COMPARE_WITH_TIMEOUT(f.published("velt/board/power/set"), 1, WaitMs);
        QCOMPARE(
            QJsonDocument::fromJson(f.observer().messages("velt/board/power/set").first().payload)
                .object(),
            QJsonObject({{"display", false}}));

        // The board reports the display off; the next other screen turns it on again.
        f.inject("velt/board/power", R"({"display": false})");
        f.validatorStatus("online");
        QVERIFY(!f.manager().displayOffPending());
        QVERIFY(log.contains("[GUIManager] Stopping Display OFF timer."));
        QVERIFY(log.contains("[GUIManager] Turning on Display."));
        QTRY_COMPARE_WITH_TIMEOUT(f.published("velt/board/power/set"), 2, WaitMs);
    }

    void displayOffDisabled()
    {
        CoreFixture f(*m_broker, "C12345678", {{"gui/displayOffMin", 0}});
        QVERIFY(f.waitConnected());
        f.ignition(true);
        f.validatorStatus("offline");
        QCOMPARE(f.manager().screen(), QString("OutOfOrder"));
        QVERIFY(!f.manager().displayOffPending());
        f.validatorStatus("online");
        QVERIFY(f.drain());
        QCOMPARE(f.published("velt/board/power/set"), 0);
    }

    void displayOffSettingChanged()
    {
        CoreFixture f(*m_broker);
        QVERIFY(f.waitReady());
        f.ignition(true);
        f.inject("velt/board/power", R"({"display": true})");
        f.validatorStatus("offline");
        QVERIFY(f.manager().displayOffPending());

        // Never from now on: the delay under way is dropped.
        f.config().set("gui/displayOffMin", 0);
        QVERIFY(!f.manager().displayOffPending());

        // A delay too long for a timer is as good as never, but still runs.
        f.config().set("gui/displayOffMin", 40000);
        f.validatorStatus("out-of-service");
        QVERIFY(f.manager().displayOffPending());

        // Switched off by the delay, then never: nothing else would switch it on again.
        QMetaObject::invokeMethod(&f.manager(), "onDisplayOffTimeout");
        f.inject("velt/board/power", R"({"display": false})");
        QVERIFY(f.drain());
        f.observer().clear();
        f.config().set("gui/displayOffMin", 0);
        QTRY_COMPARE_WITH_TIMEOUT(f.published("velt/board/power/set"), 1, WaitMs);
        QCOMPARE(
            QJsonDocument::fromJson(f.observer().messages("velt/board/power/set").first().payload)
                .object(),
            QJsonObject({{"display", true}}));
    }

    // Whatever the ignition, the validator and the session, a temporary screen ends on the
    // screen the unit's state calls for, with no time-out left.
    void everyTemporaryScreenEnds_data()
    {
        QTest::addColumn<QString>("ignition");
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("session");
        QTest::addColumn<QString>("temporary");
        QTest::addColumn<QString>("expected");

        for (const char *ignition : {"unknown", "on", "off"}) {
            for (const char *status :
                 {"unreported", "init", "online", "degraded", "out-of-service", "offline"}) {
                for (bool session : {false, true}) {
                    QString expected;
                    const QString s = status;
                    if (session)
                        expected = "Settings";
                    else if (s == "init")
                        expected = "Busy";
                    else if (s == "online" || s == "degraded")
                        expected = "ScanScreens";
                    else if (s == "out-of-service")
                        expected = "OutOfService";
                    else
                        expected = QString(ignition) == "off" ? "ScreenSaver" : "OutOfOrder";
                    for (const char *temporary : {"Valid", "Retry", "Login", "Busy"}) {
                        QTest::addRow("ignition %s, %s, %s, %s", ignition, status,
                                      session ? "session" : "no session", temporary)
                            << ignition << s << session << temporary << expected;
                    }
                }
            }
        }
    }

    void everyTemporaryScreenEnds()
    {
        QFETCH(QString, ignition);
        QFETCH(QString, status);
        QFETCH(bool, session);
        QFETCH(QString, temporary);
        QFETCH(QString, expected);

        CoreFixture f(*m_broker);
        QVERIFY(f.waitReady());
        GUIManager &m = f.manager();
        if (ignition != "unknown")
            f.boardStatus(ignition == "on");
        if (status != "unreported")
            f.validatorStatus(status);
        if (session)
            m.settingsLoginRequest("5826");
        m.setScreen(temporary, 3000);

        QMetaObject::invokeMethod(&m, "onScreenTimeout");
        QCOMPARE(m.screen(), expected);
        QCOMPARE(m.screenTimeout(), -1);
    }

    void boardShutdownDelayStaysAMinuteLonger()
    {
        CoreFixture f(*m_broker, "C12345678", {{"gui/shutdownDelaySec", 45}});
        QVERIFY(f.waitConnected());
        f.inject("velt/board/config", R"({"device": {"delayShutdownFor": 30}})");
        QTRY_COMPARE_WITH_TIMEOUT(f.published("velt/board/config/set"), 1, WaitMs);
        QCOMPARE(
            QJsonDocument::fromJson(f.observer().messages("velt/board/config/set").first().payload)
                .object(),
            QJsonObject({{"device", QJsonObject{{"delayShutdownFor", 105}}}}));
        // Already right: nothing asked.
        f.inject("velt/board/config", R"({"device": {"delayShutdownFor": 105}})");
        QVERIFY(f.drain());
        QCOMPARE(f.published("velt/board/config/set"), 1);
    }

    void errorDescriptionInTheMessage()
    {
        CoreFixture f(*m_broker, "C12345678", {{"gui/showErrorDesc", true}});
        f.ignition(true);
        f.validatorStatus("offline");
        QCOMPARE(f.manager().message(), QString("#0002\nBLM service down"));
    }

    void unreadableSerialNumber()
    {
        LogCapture log;
        CoreFixture f(*m_broker, QByteArray());
        QVERIFY(f.manager().deviceId().isEmpty());
        QVERIFY(log.countStartingWith(
                    "[GUIManager] ERROR: Could not load device S/N from file : ") == 1);
        f.ignition(true);
        f.validatorStatus("online");
        QCOMPARE(f.manager().screen(), QString("InitPage"));
    }

    void serialNumberFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("id");
        QTest::newRow("plain") << QByteArray("C12345678") << "C12345678";
        QTest::newRow("after empty lines, trimmed")
            << QByteArray("\n\n  K00000001 \nX\n") << "K00000001";
        QTest::newRow("blank line") << QByteArray("\n   \nC1\n") << "";
        QTest::newRow("empty file") << QByteArray("") << "";
    }

    void serialNumberFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, id);
        CoreFixture f(*m_broker, content);
        QCOMPARE(f.manager().deviceId(), id);
    }

    void unwritableSerialNumber()
    {
        CoreFixture f(*m_broker, QByteArray(), {{"gui/deviceId", "/proc/version/serialnumber"}});
        QSignalSpy error(&f.manager(), &GUIManager::errorOccured);
        f.manager().saveDeviceIdRequest("C11111111");
        QCOMPARE(error.count(), 1);
        QVERIFY(!error.at(0).at(0).toString().isEmpty());
        // Kept for this run.
        QCOMPARE(f.manager().deviceId(), QString("C11111111"));
    }

    // Only what the serial-number page accepts reaches the file.
    void serialNumberRefused_data()
    {
        QTest::addColumn<QString>("id");
        QTest::newRow("seven digits") << "C1234567";
        QTest::newRow("nine digits") << "K123456789";
        QTest::newRow("other letter") << "X12345678";
        QTest::newRow("lower case") << "c12345678";
        QTest::newRow("blank around") << " C12345678";
        QTest::newRow("empty") << "";
    }

    void serialNumberRefused()
    {
        QFETCH(QString, id);
        CoreFixture f(*m_broker, QByteArray());
        f.ignition(true);
        f.validatorStatus("online");
        QCOMPARE(f.manager().screen(), QString("InitPage"));
        QSignalSpy error(&f.manager(), &GUIManager::errorOccured);

        f.manager().saveDeviceIdRequest(id);
        QCOMPARE(error.count(), 1);
        QVERIFY(error.at(0).at(0).toString().contains(id));
        QVERIFY(!QFile::exists(f.path("serialnumber")));
        QVERIFY(f.manager().deviceId().isEmpty());
        QCOMPARE(f.manager().screen(), QString("InitPage"));
    }

    // A service account may write /etc/serialnumber but create nothing in /etc.
    void serialNumberWrittenWhereNoFileCanBeCreated()
    {
        QTemporaryDir scratch;
        const auto everybody = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                               QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
        QVERIFY(QFile::setPermissions(scratch.path(), everybody | QFile::WriteOwner));
        const QString folder = scratch.filePath("etc");
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + "/serialnumber";
        QFile empty(path);
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner |
                                                QFile::ReadGroup | QFile::WriteGroup |
                                                QFile::ReadOther | QFile::WriteOther));
        QVERIFY(QFile::setPermissions(folder, everybody));
        CoreFixture f(*m_broker, QByteArray(), {{"gui/deviceId", path}});
        QSignalSpy error(&f.manager(), &GUIManager::errorOccured);
        {
            ServiceAccount account;
            QFile probe(folder + "/probe");
            QVERIFY(!probe.open(QIODevice::WriteOnly));
            f.manager().saveDeviceIdRequest("K87654321");
        }
        QFile::setPermissions(folder, everybody | QFile::WriteOwner);
        QCOMPARE(error.count(), 0);
        QFile written(path);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), QByteArray("K87654321"));
    }

    // A full disk while the number is saved: the error is told and the number on the unit
    // stays whole.
    void serialNumberKeptWhenTheDiskIsFull()
    {
        CoreFixture f(*m_broker, "C12345678");
        QSignalSpy error(&f.manager(), &GUIManager::errorOccured);
        {
            FileSizeLimit full(0);
            f.manager().saveDeviceIdRequest("K87654321");
        }
        QCOMPARE(error.count(), 1);
        QFile kept(f.path("serialnumber"));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("C12345678"));
        QCOMPARE(QDir(f.path(".")).entryList({"serialnumber*"}, QDir::Files),
                 QStringList{"serialnumber"});
    }

    // The texts the core translates (the status message, the deny reason of the result shown)
    // follow a change of language while they are on the screen.
    void translatedTextsFollowTheLanguage()
    {
        CoreFixture f(*m_broker);
        GUIManager &m = f.manager();
        m.load();
        QCOMPARE(m.language(), QString("el_GR"));
        QQmlContext *context =
            qmlEngine(QGuiApplication::topLevelWindows().constFirst())->rootContext();
        const auto denyReason = [context] {
            return context->contextProperty("transaction").toMap().value("denyReason").toString();
        };
        f.ignition(true);
        f.validatorStatus("online");
        f.result(false, 205);
        QCOMPARE(m.screen(), QString("Invalid"));
        const QString english = "The card does not have sufficient balance";
        QVERIFY(denyReason() != english);
        f.validatorStatus("init");
        QVERIFY(m.message() != QString("Please Wait"));
        QSignalSpy message(&m, &GUIManager::messageChanged);

        m.setLanguage("en_IE");
        QCOMPARE(m.message(), QString("Please Wait"));
        QCOMPARE(message.count(), 1);
        QCOMPARE(denyReason(), english);

        m.setLanguage("el_GR");
        QVERIFY(m.message() != QString("Please Wait"));
        QVERIFY(denyReason() != english);
        // A lost broker says so in the unit's language too, and follows a change.
        emit m.mqtt().disconnected();
        QCOMPARE(m.screen(), QString("OutOfOrder"));
        QCOMPARE(m.message(), QString::fromUtf8("Χωρίς σύνδεση"));
        m.setLanguage("en_IE");
        QCOMPARE(m.message(), QString("Disconnected"));
    }

    // The window binds to the managers: it must be gone before they are.
    void exitLeavesNoQmlErrors()
    {
        LogCapture log;
        {
            CoreFixture f(*m_broker);
            f.manager().load();
            QVERIFY(f.waitReady());
            f.ignition(true);
            f.validatorStatus("offline");
            QCOMPARE(f.manager().screen(), QString("OutOfOrder"));
        }
        for (const QString &line : log.lines()) {
            QVERIFY2(!line.contains("TypeError") && !line.contains("of null"), qPrintable(line));
        }
    }

private:
    std::unique_ptr<MosquittoBroker> m_broker;
};

QTEST_MAIN(ScreensTest)
#include "tst_screens.moc"
