#include "CoreFixture.h"
#include "LogCapture.h"

#include <QJsonDocument>
#include <QLoggingCategory>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

#include <map>
#include <memory>

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
        // One answer, and nothing else: the manager's own marker comes after anything more.
        QVERIFY(f.drain());
        // The request, its answer, the marker, and nothing else on the UI's topics (what the
        // managers ask the device services on their own timers may come in between).
        QStringList topics;
        for (const MqttObserver::Message &m : f.observer().messages()) {
            if (m.topic.startsWith("velt/ui/") || m.topic == "tst/mark")
                topics << m.topic;
        }
        QCOMPARE(topics, QStringList({topic, answer, "tst/mark"}));
    }

    // Several settings changed at once: every one takes effect, then one "/config" follows.
    void configSetSeveralKeys_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QStringList>("notified");
        QTest::addColumn<QString>("language");

        QTest::newRow("cursor and display off")
            << QByteArray(R"({"gui": {"displayOffMin": 5, "showCursor": false}})")
            << QStringList{"displayOffMinChanged", "showCursorChanged"} << "el_GR";
        QTest::newRow("language and cursor")
            << QByteArray(R"({"gui": {"locale": "en_IE", "showCursor": false}})")
            << QStringList{"languageChanged", "showCursorChanged"} << "en_IE";
        QTest::newRow("three sections")
            << QByteArray(R"({"gui": {"animSwitchSec": 5000, "screenSaverBg": "navy"},
                             "log": {"level": 2, "color": true}, "topics": {"board": "x/board"}})")
            << QStringList{"animSwitchSecChanged", "screenSaverBgChanged"} << "el_GR";
    }

    void configSetSeveralKeys()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QStringList, notified);
        QFETCH(QString, language);

        CoreFixture f(*m_broker);
        GUIManager &m = f.manager();
        m.load();
        QVERIFY(f.waitReady());
        std::map<QString, std::unique_ptr<QSignalSpy>> spies;
        for (const char *name : {"languageChanged", "showCursorChanged", "displayOffMinChanged",
                                 "animSwitchSecChanged", "screenSaverBgChanged"}) {
            const QByteArray signature = QByteArray("2") + name + "()";
            spies[name] = std::make_unique<QSignalSpy>(&m, signature.constData());
        }
        const auto emitted = [&spies] {
            QStringList names;
            for (const auto &spy : spies) {
                for (int i = 0; i < spy.second->count(); ++i)
                    names << spy.first;
                spy.second->clear();
            }
            return names;
        };
        QSignalSpy changed(&f.config(), &Config::configChanged);
        QVERIFY(f.drain());
        f.observer().clear();

        QVERIFY(f.observer().publish("velt/ui/config/set", payload));
        QTRY_COMPARE_WITH_TIMEOUT(f.published("velt/ui/config"), 1, WaitMs);
        QCOMPARE(changed.count(), 1); // saved once
        QCOMPARE(emitted(), notified);
        QCOMPARE(m.language(), language);
        const QJsonObject published = lastObject(f, "velt/ui/config");
        const QJsonObject requested = QJsonDocument::fromJson(payload).object();
        for (const QString &section : requested.keys()) {
            const QJsonObject entries = requested.value(section).toObject();
            for (const QString &name : entries.keys()) {
                QCOMPARE(published.value(section).toObject().value(name), entries.value(name));
                QCOMPARE(QSettings(f.path("gui.conf"), QSettings::IniFormat)
                             .value(section + "/" + name)
                             .toString(),
                         entries.value(name).toVariant().toString());
            }
        }

        // The same again changes nothing: no reaction, no save, no publication.
        QVERIFY(f.observer().publish("velt/ui/config/set", payload));
        QVERIFY(f.roundTrip());
        QCOMPARE(changed.count(), 1);
        QCOMPARE(emitted(), QStringList());
        QCOMPARE(f.published("velt/ui/config"), 1);
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
        QVERIFY(f.roundTrip());
        QCOMPARE(changed.count(), 0);
        QCOMPARE(f.published("velt/ui/config"), 0);
        QCOMPARE(f.manager().displayOffMin(), 3);
    }

    // The delays that timers and the board use take only what the maintenance pages offer:
    // anything else is refused, the previous value stays, and the unit never powers off sooner.
    void delaysFromTheNetwork_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QByteArray>("value"); // as JSON
        QTest::addColumn<int>("effective");

        QTest::newRow("negative shutdown delay") << "shutdownDelaySec" << QByteArray("-5") << 60;
        QTest::newRow("shutdown delay too short") << "shutdownDelaySec" << QByteArray("4") << 60;
        QTest::newRow("shutdown delay that overflows")
            << "shutdownDelaySec" << QByteArray("2147483647") << 60;
        QTest::newRow("shutdown delay that overflows, as text")
            << "shutdownDelaySec" << QByteArray("\"2147483647\"") << 60;
        QTest::newRow("shutdown delay, longest") << "shutdownDelaySec" << QByteArray("900") << 900;
        QTest::newRow("negative display off") << "displayOffMin" << QByteArray("-1") << 3;
        QTest::newRow("display off, not a number") << "displayOffMin" << QByteArray("\"x\"") << 3;
        QTest::newRow("display off, never") << "displayOffMin" << QByteArray("0") << 0;
        QTest::newRow("display off, longest") << "displayOffMin" << QByteArray("86400") << 86400;
    }

    void delaysFromTheNetwork()
    {
        QFETCH(QString, key);
        QFETCH(QByteArray, value);
        QFETCH(int, effective);

        CoreFixture f(*m_broker);
        GUIManager &m = f.manager();
        QVERIFY(f.waitReady());
        f.observer().clear();
        QVERIFY(f.observer().publish("velt/ui/config/set",
                                     R"({"gui": {")" + key.toUtf8() + R"(": )" + value + "}}"));
        QVERIFY(f.roundTrip());
        const int current = key == "shutdownDelaySec" ? m.shutdownDelaySec() : m.displayOffMin();
        QCOMPARE(current, effective);
        const bool refused = value != QByteArray::number(effective);
        QCOMPARE(f.published("velt/ui/config"), refused ? 0 : 1);
        QCOMPARE(QSettings(f.path("gui.conf"), QSettings::IniFormat).value("gui/" + key).toInt(),
                 effective);
        if (key != "shutdownDelaySec")
            return;

        // The board keeps its power a minute longer than the delay in force; the ignition off
        // arms that delay. (A delay accepted above has already been sent to the board, which has
        // not reported any yet: only what its report brings counts here.)
        QVERIFY(f.drain());
        f.observer().clear();
        f.inject("velt/board/config", R"({"device": {"delayShutdownFor": 30}})");
        QVERIFY(f.drain());
        QCOMPARE(f.published("velt/board/config/set"), 1);
        QCOMPARE(
            QJsonDocument::fromJson(f.observer().messages("velt/board/config/set").first().payload)
                .object(),
            QJsonObject({{"device", QJsonObject{{"delayShutdownFor", effective + 60}}}}));
        f.ignition(false);
        const int remaining = m.inspector().shutdownRemainingMs();
        QVERIFY2(remaining > (effective - 5) * 1000 && remaining <= effective * 1000,
                 qPrintable(QString::number(remaining)));
    }

    // A change of the base topic is announced on the connection there is: same broker, same
    // credentials, no reason to drop it.
    void baseTopicChangeKeepsTheConnection()
    {
        CoreFixture f(*m_broker);
        QVERIFY(f.waitReady());
        QSignalSpy disconnected(&f.manager().mqtt(), &manager::MqttClient::disconnected);
        LogCapture log;

        QVERIFY(f.observer().publish("velt/ui/config/set", R"({"mqtt": {"base": "velt/ui2"}})"));
        QTRY_COMPARE_WITH_TIMEOUT(f.observer().messages("velt/ui2/config").size(), 1, WaitMs);
        QCOMPARE(f.observer().messages("velt/ui2/info").size(), 1);
        QCOMPARE(f.observer().messages("velt/ui2/status").size(), 1);
        QCOMPARE(disconnected.count(), 0);
        QCOMPARE(log.count("[MqttClient] Connecting to host"), 0);

        // Requests on the new base are answered.
        QVERIFY(f.observer().publish("velt/ui2/info/get", QByteArray()));
        QTRY_COMPARE_WITH_TIMEOUT(f.observer().messages("velt/ui2/info").size(), 2, WaitMs);
        QCOMPARE(disconnected.count(), 0);
    }

    // The MQTT password reaches no log line, at any level, from any path.
    void passwordNeverLogged()
    {
        CoreFixture f(*m_broker);
        QVERIFY(f.waitReady());
        f.config().set("log/level", 3);
        QVERIFY(f.drain());
        f.observer().clear();
        LogCapture log;
        QVERIFY(
            f.observer().publish("velt/ui/config/set", R"({"mqtt": {"password": "Pa55-word"}})"));
        // Reconnected with the new credentials and announced.
        QTRY_COMPARE_WITH_TIMEOUT(f.published("velt/ui/config"), 1, WaitMs);
        QVERIFY(log.contains("[GUIManager] MQTT configuration changed. Applying."));
        f.config().print();
        f.config().set("log/level", 2);
        QVERIFY(log.countStartingWith("[GUIManager] Config changed : ") > 0);
        QVERIFY(log.countStartingWith("[GUIManager] Data : ") > 0);
        for (const QString &line : log.lines())
            QVERIFY2(!line.contains("Pa55-word"), qPrintable(line));
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
        // Every fixture of this test program connects with the same client id.
        const QString id = "Pernix_" + QString::number(QCoreApplication::applicationPid());
        const int earlier = m_broker->requests(id).count("publish velt/ui/config");
        CoreFixture f(*m_broker);
        QVERIFY(f.waitConnected());
        // The configuration goes out last on a connection: once the broker has it, every
        // subscription of that connection is in its log.
        QTRY_VERIFY_WITH_TIMEOUT(m_broker->requests(id).count("publish velt/ui/config") > earlier,
                                 WaitMs);
        const int before = m_broker->subscriptions(id).count("velt/ui/info/get");
        const int announced = m_broker->requests(id).count("publish velt/ui/config");
        // A reconnection asks for each topic once more, not once more per connection so far.
        f.manager().mqtt().disconnect();
        QTRY_VERIFY_WITH_TIMEOUT(m_broker->requests(id).count("publish velt/ui/config") > announced,
                                 WaitMs);
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
