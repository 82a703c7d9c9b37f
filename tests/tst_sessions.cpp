#include "Config.h"
#include "GUIManager.h"
#include "LogCapture.h"
#include "SessionManager.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class SessionsTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_config = std::make_unique<Config>(m_dir->filePath("gui.conf"), GUIManager::Defaults);
        m_sessions = std::make_unique<SessionManager>(*m_config);
    }
    void cleanup()
    {
        m_sessions.reset();
        m_config.reset();
        m_dir.reset();
    }

    void loginWithTheConfiguredPin()
    {
        QStringList order;
        connect(m_sessions.get(), &SessionManager::accessGranted, this,
                [&] { order << "granted"; });
        connect(m_sessions.get(), &SessionManager::sessionActiveChanged, this,
                [&] { order << "active"; });
        LogCapture log;

        m_sessions->loginRequest("5826");
        QCOMPARE(order, QStringList({"granted", "active"}));
        QVERIFY(m_sessions->sessionActive());
        QVERIFY(m_sessions->remainingTime() > 590000 && m_sessions->remainingTime() <= 600000);
        QCOMPARE(m_sessions->user()->id, 0);
        QCOMPARE(m_sessions->user()->name, QString("VELT"));
        QCOMPARE(m_sessions->user()->surname, QString("Admin"));
        QVERIFY(log.contains("[SessionManager] Login requested with PIN"));
        QVERIFY(log.contains("[SessionManager] User logged-in : VELT, Admin"));

        // Again during the session: a fresh ten minutes and both signals again.
        m_sessions->loginRequest("5826");
        QCOMPARE(order, QStringList({"granted", "active", "granted", "active"}));
    }

    void wrongPin_data()
    {
        QTest::addColumn<bool>("duringSession");
        QTest::addColumn<QString>("pin");
        QTest::newRow("no session") << false << "1234";
        QTest::newRow("during a session") << true << "1234";
        QTest::newRow("prefix of the PIN") << true << "582";
        QTest::newRow("PIN with a blank") << false << "5826 ";
        QTest::newRow("empty") << false << "";
    }

    void wrongPin()
    {
        QFETCH(bool, duringSession);
        QFETCH(QString, pin);
        if (duringSession)
            m_sessions->loginRequest("5826");
        QSignalSpy denied(m_sessions.get(), &SessionManager::accessDenied);
        QSignalSpy granted(m_sessions.get(), &SessionManager::accessGranted);
        QSignalSpy active(m_sessions.get(), &SessionManager::sessionActiveChanged);
        const int remaining = m_sessions->remainingTime();
        // What was typed is a secret: it may reach the debug log only.
        QLoggingCategory::setFilterRules("*.debug=false");
        auto restore = qScopeGuard([] { QLoggingCategory::setFilterRules(QString()); });
        LogCapture log;

        m_sessions->loginRequest(pin);
        if (!pin.trimmed().isEmpty()) {
            for (const QString &line : log.lines())
                QVERIFY2(!line.contains(pin.trimmed()), qPrintable(line));
        }
        QCOMPARE(denied.count(), 1);
        QCOMPARE(granted.count(), 0);
        QCOMPARE(active.count(), 0);
        QCOMPARE(m_sessions->sessionActive(), duringSession);
        QVERIFY(log.contains("[SessionManager] WARN: User entered wrong pin"));
        // The running session's timer was not restarted.
        if (duringSession)
            QVERIFY(m_sessions->remainingTime() <= remaining);
    }

    void pinChangeTakesEffectAtOnce()
    {
        m_sessions->loginRequest("5826");
        m_config->set("gui/settingsPin", "0000");
        QVERIFY(m_sessions->sessionActive());
        QCOMPARE(m_sessions->user()->name, QString("VELT"));

        QSignalSpy denied(m_sessions.get(), &SessionManager::accessDenied);
        m_sessions->loginRequest("5826");
        QCOMPARE(denied.count(), 1);
        m_sessions->logoutRequest();
        m_sessions->loginRequest("0000");
        QVERIFY(m_sessions->sessionActive());

        // Any change of the configuration rebuilds the list; an edit of the file too.
        m_config->set("gui/locale", "en_US");
        QVERIFY(m_sessions->sessionActive());
    }

    void expiry()
    {
        m_sessions->setSessionDuration(200);
        m_sessions->loginRequest("5826");
        QSignalSpy active(m_sessions.get(), &SessionManager::sessionActiveChanged);
        QSignalSpy expired(m_sessions.get(), &SessionManager::expired);
        LogCapture log;

        QTRY_COMPARE(active.count(), 1);
        QVERIFY(!m_sessions->sessionActive());
        QCOMPARE(m_sessions->user(), nullptr);
        QCOMPARE(m_sessions->remainingTime(), -1);
        QCOMPARE(log.count("[SessionManager] Session expired"), 1);
        QCOMPARE(log.count("[SessionManager] User logged-out : VELT, Admin"), 1);
        QCOMPARE(expired.count(), 0);
    }

    void logout()
    {
        QSignalSpy active(m_sessions.get(), &SessionManager::sessionActiveChanged);
        LogCapture log;
        m_sessions->logoutRequest();
        m_sessions->resetTimer();
        QCOMPARE(active.count(), 0);
        QVERIFY(log.lines().isEmpty());
        QCOMPARE(m_sessions->remainingTime(), -1);

        m_sessions->loginRequest("5826");
        m_sessions->logoutRequest();
        QCOMPARE(active.count(), 2);
        QVERIFY(!m_sessions->sessionActive());
        QCOMPARE(m_sessions->remainingTime(), -1);
    }

    void emptyPinMatchesEmptyEntry()
    {
        m_config->set("gui/settingsPin", "");
        m_sessions->loginRequest("");
        QVERIFY(m_sessions->sessionActive());
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Config> m_config;
    std::unique_ptr<SessionManager> m_sessions;
};

QTEST_GUILESS_MAIN(SessionsTest)
#include "tst_sessions.moc"
