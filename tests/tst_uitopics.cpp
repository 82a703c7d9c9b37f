#include "CoreFixture.h"
#include "LogCapture.h"

#include <QJsonDocument>
#include <QLoggingCategory>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

namespace {

constexpr int WaitMs = 10000;

QJsonObject lastObject(CoreFixture &f, const QString &topic)
{
    const auto messages = f.observer().messages(topic);
    return messages.isEmpty() ? QJsonObject()
                              : QJsonDocument::fromJson(messages.last().payload).object();
}

} // namespace

class UiTopicsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_broker = std::make_unique<MosquittoBroker>();
        QVERIFY(m_broker->start());
    }
    void cleanupTestCase() { m_broker.reset(); }

    void publishedOnConnection()
    {
        CoreFixture f(*m_broker);
        QVERIFY(f.waitReady());
        QCOMPARE(f.published("velt/ui/info"), 1);
        QCOMPARE(f.published("velt/ui/status"), 1);
        QCOMPARE(lastObject(f, "velt/ui/info"), QJsonObject({{"version", "1.0.18-1-g376f268"}}));
        QCOMPARE(lastObject(f, "velt/ui/status"),
                 QJsonObject({{"technician", false}, {"service", true}}));
        const QJsonObject config = lastObject(f, "velt/ui/config");
        QCOMPARE(config.keys(), QStringList({"gui", "log", "mqtt", "topics"}));
        QCOMPARE(config.value("gui").toObject().value("settingsPin").toString(), QString("5826"));
        // Indented, as every payload of the UI.
        QVERIFY(
            f.observer().messages("velt/ui/info").first().payload.contains("\n    \"version\""));
    }

    void requests_data()
    {
        QTest::addColumn<QString>("topic");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("answer");
        QTest::newRow("info, empty payload")
            << "velt/ui/info/get" << QByteArray() << "velt/ui/info";
        QTest::newRow("info, garbage payload")
            << "velt/ui/info/get" << QByteArray("\x01{") << "velt/ui/info";
        QTest::newRow("status") << "velt/ui/status/get" << QByteArray("{}") << "velt/ui/status";
        QTest::newRow("config") << "velt/ui/config/get" << QByteArray("[1]") << "velt/ui/config";
    }

    void requests()
    {
        QFETCH(QString, topic);
        QFETCH(QByteArray, payload);
        QFETCH(QString, answer);
        CoreFixture f(*m_broker);
        QVERIFY(f.waitReady());
        f.observer().clear();
        QVERIFY(f.observer().publish(topic, payload));
        QTRY_COMPARE_WITH_TIMEOUT(f.published(answer), 1, WaitMs);
        QTest::qWait(100);
        QCOMPARE(f.observer().messages().size(), 2); // the request and its one answer
    }

    void configSetTwoKeys()
    {
        CoreFixture f(*m_broker);
        QVERIFY(f.waitReady());
        GUIManager &m = f.manager();
        QSignalSpy cursor(&m, &GUIManager::showCursorChanged);
        QSignalSpy displayOff(&m, &GUIManager::displayOffMinChanged);
        QSignalSpy changed(&f.config(), &Config::configChanged);
        f.observer().clear();

        QVERIFY(f.observer().publish("velt/ui/config/set",
                                     R"({"gui": {"displayOffMin": 5, "showCursor": false}})"));
        QTRY_COMPARE_WITH_TIMEOUT(changed.count(), 1, WaitMs);
        QCOMPARE(cursor.count(), 1);
        QCOMPARE(displayOff.count(), 0); // only the first row of the table reacts
        QVERIFY(!m.showCursor());
        QCOMPARE(m.displayOffMin(), 5);
        QSettings file(f.path("gui.conf"), QSettings::IniFormat);
        QCOMPARE(file.value("gui/displayOffMin").toInt(), 5);
        QCOMPARE(file.value("gui/showCursor").toBool(), false);
        QTRY_COMPARE_WITH_TIMEOUT(f.published("velt/ui/config"), 1, WaitMs);
        QCOMPARE(lastObject(f, "velt/ui/config").value("gui").toObject().value("displayOffMin"),
                 QJsonValue(5));
    }

    void configSetBadInput_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("changes");
        QTest::newRow("not JSON") << QByteArray("{\"gui\": ") << false;
        QTest::newRow("an array") << QByteArray("[{\"gui\": {\"locale\": \"en_US\"}}]") << false;
        QTest::newRow("unknown key") << QByteArray(R"({"gui": {"colour": "red"}})") << false;
        QTest::newRow("same value") << QByteArray(R"({"gui": {"displayOffMin": 3}})") << false;
        QTest::newRow("object value")
            << QByteArray(R"({"gui": {"displayOffMin": {"a": 1}}})") << false;
        QTest::newRow("value of another type")
            << QByteArray(R"({"gui": {"displayOffMin": "7"}})") << true;
    }

    void configSetBadInput()
    {
        QFETCH(QByteArray, payload);
        QFETCH(bool, changes);
        CoreFixture f(*m_broker);
        QVERIFY(f.waitReady());
        f.observer().clear();
        QSignalSpy changed(&f.config(), &Config::configChanged);

        QVERIFY(f.observer().publish("velt/ui/config/set", payload));
        if (changes) {
            QTRY_COMPARE_WITH_TIMEOUT(f.published("velt/ui/config"), 1, WaitMs);
            QCOMPARE(f.manager().displayOffMin(), 7); // converted at each use
            return;
        }
        QTest::qWait(300);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(f.published("velt/ui/config"), 0);
        QCOMPARE(f.manager().displayOffMin(), 3);
    }

    void logLevelChangeIsApplied()
    {
        CoreFixture f(*m_broker);
        QVERIFY(f.waitReady());
        QVERIFY(!QLoggingCategory::defaultCategory()->isDebugEnabled());
        LogCapture log;
        QVERIFY(f.observer().publish("velt/ui/config/set", R"({"log": {"level": 3}})"));
        QTRY_VERIFY_WITH_TIMEOUT(QLoggingCategory::defaultCategory()->isDebugEnabled(), WaitMs);
        QVERIFY(log.contains("[GUIManager] Log configuration changed. Applying."));
        f.config().set("log/level", 2);
        QVERIFY(!QLoggingCategory::defaultCategory()->isDebugEnabled());
    }

    void mqttChangeReconnects()
    {
        MosquittoBroker other;
        QVERIFY(other.start());
        MqttObserver otherObserver;
        QVERIFY(otherObserver.connectTo(other.host(), other.port()));
        CoreFixture f(*m_broker);
        QVERIFY(f.waitReady());

        QVERIFY(f.observer().publish("velt/ui/config/set", QByteArray(R"({"mqtt": {"port": )") +
                                                               QByteArray::number(other.port()) +
                                                               "}}"));
        // On the other broker, with the will and all three publications.
        QTRY_COMPARE_WITH_TIMEOUT(otherObserver.messages("velt/ui/info").size(), 1, WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(otherObserver.messages("velt/ui/config").size(), 1, WaitMs);
        QVERIFY(other.log().join('\n').contains("Will message specified"));
    }

    void requestTopicsNotPiledUp()
    {
        CoreFixture f(*m_broker);
        QVERIFY(f.waitConnected());
        const QString id = "Pernix_" + QString::number(QCoreApplication::applicationPid());
        QTRY_VERIFY_WITH_TIMEOUT(m_broker->subscriptions(id).count("velt/ui/info/get") >= 1,
                                 WaitMs);
        const int before = m_broker->subscriptions(id).count("velt/ui/info/get");
        // A reconnection asks for each topic once more, not once more per connection so far.
        f.manager().mqtt().disconnect();
        QTRY_VERIFY_WITH_TIMEOUT(
            m_broker->subscriptions(id).count("velt/ui/info/get") == before + 1, WaitMs);
        QTest::qWait(300);
        QCOMPARE(m_broker->subscriptions(id).count("velt/ui/info/get"), before + 1);
    }

    void otherManagersTopicsAreNotLogged()
    {
        CoreFixture f(*m_broker);
        LogCapture log;
        f.inject("velt/board/status", R"({"service": true})");
        QCOMPARE(log.countStartingWith("[GUIManager] Message received"), 0);
        f.inject("velt/ui/whatever", "{}");
        QCOMPARE(log.count("[GUIManager] Message received : velt/ui/whatever"), 1);
    }

    void languageFromTheNetwork()
    {
        CoreFixture f(*m_broker);
        QSignalSpy language(&f.manager(), &GUIManager::languageChanged);
        f.manager().load();
        QCOMPARE(f.manager().language(), QString("el_GR"));
        QCOMPARE(QCoreApplication::translate("Transaction", "Unknown Error"),
                 QString::fromUtf8("Άγνωστο Σφάλμα"));
        f.inject("velt/ui/config/set", R"({"gui": {"locale": "en_IE"}})");
        QCOMPARE(f.manager().language(), QString("en_IE"));
        QCOMPARE(QCoreApplication::translate("Transaction", "Unknown Error"),
                 QString("Unknown Error"));
        QCOMPARE(language.count(), 2);
        QCOMPARE(QSettings(f.path("gui.conf"), QSettings::IniFormat).value("gui/locale").toString(),
                 QString("en_IE"));
        QVERIFY(f.eventNames().contains("Application started"));
    }

private:
    std::unique_ptr<MosquittoBroker> m_broker;
};

QTEST_MAIN(UiTopicsTest)
#include "tst_uitopics.moc"
