#include "LogCapture.h"
#include "MosquittoBroker.h"
#include "MqttClient.h"
#include "MqttObserver.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

using manager::MosquittoClient;
using manager::MqttClient;

namespace {

constexpr int RetryMs = 300;
constexpr int WaitMs = 15000;

std::unique_ptr<MqttClient> makeClient(quint16 port, const QString &id = "tst_client")
{
    auto client = std::make_unique<MqttClient>();
    client->setHostname("127.0.0.1");
    client->setPort(port);
    client->setClientId(id);
    client->setRetryMillis(RetryMs);
    return client;
}

} // namespace

class MqttClientTest : public QObject
{
    Q_OBJECT

private slots:
    void noBrokerRetriesForEver()
    {
        LogCapture log;
        auto client = makeClient(MosquittoBroker::freePort());
        QSignalSpy disconnected(client.get(), &MqttClient::disconnected);
        QSignalSpy errors(client.get(), &MqttClient::error);
        client->connect();

        QTRY_VERIFY_WITH_TIMEOUT(log.count("[MqttClient] Connecting to host") >= 4, WaitMs);
        QVERIFY(disconnected.count() >= 3);
        QVERIFY(log.count("[MqttClient] State is Disconnected.") >= 3);
        QVERIFY(log.contains("[MqttClient] Transport invalid: The underlying transport caused an "
                             "error. For example, the connection might have been interrupted "
                             "unexpectedly."));
        QVERIFY(errors.count() >= 1);
        QCOMPARE(errors.at(0).at(0).toString(), QString("Mqtt client error"));
        QVERIFY(client->state() != MosquittoClient::Connected);
    }

    void unresolvableHostRetries()
    {
        LogCapture log;
        auto client = makeClient(1883);
        client->setHostname("no-such-host.invalid");
        client->connect();
        QTRY_VERIFY_WITH_TIMEOUT(log.count("[MqttClient] Connecting to host") >= 2, WaitMs);
    }

    void hostNameIsResolved()
    {
        MosquittoBroker broker;
        QVERIFY(broker.start());
        auto client = makeClient(broker.port());
        client->setHostname("localhost");
        client->connect();
        QTRY_COMPARE_WITH_TIMEOUT(client->state(), MosquittoClient::Connected, WaitMs);
    }

    void subscriptionsRepeatedAfterReconnection()
    {
        MosquittoBroker broker;
        QVERIFY(broker.start());
        LogCapture log;
        auto client = makeClient(broker.port(), "tst_subs");
        QSignalSpy received(client.get(), &MqttClient::received);

        // Recorded before any connection: nothing requested yet.
        client->subscribe("a/one");
        client->subscribe("b/#", 1);
        client->subscribe("a/one");
        QCOMPARE(log.countStartingWith("[MqttClient] Subscribing"), 0);

        client->connect();
        const QStringList once = {"a/one", "b/#", "a/one"};
        QTRY_COMPARE_WITH_TIMEOUT(broker.subscriptions("tst_subs"), once, WaitMs);
        QVERIFY(log.contains("[MqttClient] Subscribing to 'b/#' with QoS = 1"));

        // Messages on a subscribed topic arrive as (payload, topic).
        MqttObserver observer;
        QVERIFY(observer.connectTo(broker.host(), broker.port()));
        QVERIFY(observer.publish("b/x", QByteArray("hello\0world", 11)));
        QTRY_COMPARE_WITH_TIMEOUT(received.count(), 1, WaitMs);
        QCOMPARE(received.at(0).at(0).toByteArray(), QByteArray("hello\0world", 11));
        QCOMPARE(received.at(0).at(1).toByteArray(), QByteArray("b/x"));

        // A broker restart: every recorded entry again, in the order first requested.
        QSignalSpy disconnected(client.get(), &MqttClient::disconnected);
        broker.stop();
        QTRY_VERIFY_WITH_TIMEOUT(disconnected.count() >= 1, WaitMs);
        QVERIFY(broker.start());
        QTRY_COMPARE_WITH_TIMEOUT(broker.subscriptions("tst_subs"), once + once, WaitMs);

        // Subscribing while connected asks at once and is remembered.
        client->subscribe("c/new");
        QTRY_COMPARE_WITH_TIMEOUT(broker.subscriptions("tst_subs"),
                                  once + once + QStringList{"c/new"}, WaitMs);
    }

    void hangingAttemptIsCut()
    {
        // Accepts connections and never answers them.
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
        QList<QTcpSocket *> accepted;
        connect(&silent, &QTcpServer::newConnection, this, [&] {
            while (QTcpSocket *socket = silent.nextPendingConnection())
                accepted.append(socket);
        });

        LogCapture log;
        auto client = makeClient(silent.serverPort());
        QSignalSpy connected(client.get(), &MqttClient::connected);
        client->connect();
        QTRY_COMPARE_WITH_TIMEOUT(accepted.size(), 1, WaitMs);
        QCOMPARE(client->state(), MosquittoClient::Connecting);

        // Cut after the retry period, then tried again.
        QTRY_COMPARE_WITH_TIMEOUT(client->state(), MosquittoClient::Disconnected, WaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(accepted.size() >= 2, WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(accepted.first()->state(), QAbstractSocket::UnconnectedState,
                                  WaitMs);
        QCOMPARE(connected.count(), 0);
        QVERIFY(log.count("[MqttClient] Connecting to host") >= 2);
    }

    void frozenBrokerIsDroppedAfterKeepAlive()
    {
        MosquittoBroker broker;
        QVERIFY(broker.start());
        auto client = makeClient(broker.port());
        QSignalSpy connected(client.get(), &MqttClient::connected);
        QSignalSpy disconnected(client.get(), &MqttClient::disconnected);
        client->connect();
        QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 1, WaitMs);

        // The socket stays open; only the missing PINGRESP tells (keep-alive 5 s).
        broker.pause();
        QTRY_COMPARE_WITH_TIMEOUT(disconnected.count(), 1, 20000);
        broker.resume();
        QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 2, WaitMs);
    }

    void largePayloadsGoThroughWhole()
    {
        MosquittoBroker broker;
        QVERIFY(broker.start());
        MqttObserver observer;
        QVERIFY(observer.connectTo(broker.host(), broker.port()));
        auto client = makeClient(broker.port());
        client->subscribe("big/in");
        QSignalSpy received(client.get(), &MqttClient::received);
        client->connect();
        QTRY_COMPARE_WITH_TIMEOUT(broker.subscriptions("tst_client").size(), 1, WaitMs);

        // Larger than a socket buffer: written in parts as the socket allows. (Not echoed to
        // the debug log here.)
        QLoggingCategory::setFilterRules("*.debug=false");
        auto restore = qScopeGuard([] { QLoggingCategory::setFilterRules(QString()); });
        QByteArray payload(4 * 1024 * 1024, Qt::Uninitialized);
        for (int i = 0; i < payload.size(); ++i)
            payload[i] = char(i * 7 + i / 4096);
        QVERIFY(client->publish(payload, "big/out"));
        QVERIFY(observer.publish("big/in", payload));
        QTRY_COMPARE_WITH_TIMEOUT(observer.messages("big/out").size(), 1, WaitMs);
        QVERIFY(observer.messages("big/out").first().payload == payload);
        QTRY_COMPARE_WITH_TIMEOUT(received.count(), 1, WaitMs);
        QVERIFY(received.at(0).at(0).toByteArray() == payload);
    }

    void publishWithoutConnection()
    {
        auto client = makeClient(MosquittoBroker::freePort());
        LogCapture log;
        QSignalSpy errors(client.get(), &MqttClient::error);
        QVERIFY(!client->publish("data", "some/topic"));
        QVERIFY(log.lines().isEmpty());

        client->connect();
        QTRY_VERIFY_WITH_TIMEOUT(log.count("[MqttClient] State is Disconnected.") >= 1, WaitMs);
        log.clear();
        const int errorsBefore = errors.count();
        QVERIFY(!client->publish("data", "some/topic"));
        QVERIFY(log.lines().isEmpty());
        QCOMPARE(errors.count(), errorsBefore);
    }

    void publishes()
    {
        MosquittoBroker broker;
        QVERIFY(broker.start());
        MqttObserver observer;
        QVERIFY(observer.connectTo(broker.host(), broker.port()));
        auto client = makeClient(broker.port());
        QSignalSpy errors(client.get(), &MqttClient::error);
        client->connect();
        QTRY_COMPARE_WITH_TIMEOUT(client->state(), MosquittoClient::Connected, WaitMs);

        const QByteArray payload = "{\n    \"version\": \"1.0\"\n}\n";
        QVERIFY(client->publish(payload, "velt/ui/info"));
        QVERIFY(client->publish("second", "velt/ui/info", 1));
        QTRY_COMPARE_WITH_TIMEOUT(observer.messages("velt/ui/info").size(), 2, WaitMs);
        QCOMPARE(observer.messages("velt/ui/info").at(0).payload, payload);
        QCOMPARE(observer.messages("velt/ui/info").at(1).qos, 1);

        // A topic with a wildcard cannot be published to.
        QVERIFY(!client->publish("x", "velt/#"));
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.at(0).at(0).toString(), QString("Publish to velt/# failed."));

        // Nor can an invalid filter be subscribed to; the connection stays up.
        client->subscribe("a/#/b");
        QCOMPARE(errors.count(), 2);
        QCOMPARE(errors.at(1).at(0).toString(), QString("Subscription to a/#/b failed."));
        QCOMPARE(client->state(), MosquittoClient::Connected);
    }

    void willDeliveredWhenClientVanishes_data()
    {
        QTest::addColumn<bool>("orderly");
        QTest::newRow("vanishes") << false;
        QTest::newRow("orderly disconnect") << true;
    }

    void willDeliveredWhenClientVanishes()
    {
        QFETCH(bool, orderly);
        MosquittoBroker broker;
        QVERIFY(broker.start());
        MqttObserver observer;
        QVERIFY(observer.connectTo(broker.host(), broker.port()));

        auto client = makeClient(broker.port(), "tst_will");
        client->setWillTopic("velt/ui/status");
        client->setWillMessage("{\"service\": false}");
        client->connect();
        QTRY_COMPARE_WITH_TIMEOUT(client->state(), MosquittoClient::Connected, WaitMs);

        if (orderly) {
            client->disconnect();
            QTRY_COMPARE_WITH_TIMEOUT(client->state(), MosquittoClient::Disconnected, WaitMs);
            QTest::qWait(500);
            QVERIFY(observer.messages("velt/ui/status").isEmpty());
            return;
        }
        client.reset();
        QTRY_COMPARE_WITH_TIMEOUT(observer.messages("velt/ui/status").size(), 1, WaitMs);
        const MqttObserver::Message will = observer.messages("velt/ui/status").first();
        QCOMPARE(will.payload, QByteArray("{\"service\": false}"));
        QCOMPARE(will.qos, 2);

        // Retained: a client arriving later still gets it.
        MqttObserver late;
        QVERIFY(late.connectTo(broker.host(), broker.port()));
        QTRY_COMPARE_WITH_TIMEOUT(late.messages("velt/ui/status").size(), 1, WaitMs);
        QVERIFY(late.messages("velt/ui/status").first().retain);
    }

    void credentials_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("warning"); // empty: connects

        const QString notAuthorized = "[MqttClient] Not authorized: tst_auth. The client is not "
                                      "authorized to connect.";
        QTest::newRow("right password") << "tech"
                                        << "right"
                                        << "";
        QTest::newRow("wrong password") << "tech"
                                        << "wrong" << notAuthorized;
        QTest::newRow("unknown user") << "nobody"
                                      << "right" << notAuthorized;
        QTest::newRow("no credentials") << ""
                                        << "" << notAuthorized;
    }

    void credentials()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, warning);

        QTemporaryDir dir;
        const QString passwords = dir.filePath("passwords");
        QCOMPARE(QProcess::execute("mosquitto_passwd", {"-c", "-b", passwords, "tech", "right"}),
                 0);
        MosquittoBroker broker({"allow_anonymous false", "password_file " + passwords});
        QVERIFY(broker.start());

        LogCapture log;
        auto client = makeClient(broker.port(), "tst_auth");
        client->setUsername(user);
        client->setPassword(password);
        QSignalSpy errors(client.get(), &MqttClient::error);
        client->connect();

        if (warning.isEmpty()) {
            QTRY_COMPARE_WITH_TIMEOUT(client->state(), MosquittoClient::Connected, WaitMs);
            QCOMPARE(errors.count(), 0);
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(log.contains(warning), WaitMs);
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.at(0).at(0).toString(), QString("Mqtt client error"));
        // Still retried, and the same refusal is not reported again.
        QTRY_VERIFY_WITH_TIMEOUT(log.count("[MqttClient] Connecting to host") >= 3, WaitMs);
        QCOMPARE(errors.count(), 1);
        if (!password.isEmpty())
            QVERIFY(!log.lines().join("\n").contains(password));
    }

    void disconnectIsFollowedByReconnection()
    {
        MosquittoBroker broker;
        QVERIFY(broker.start());
        LogCapture log;
        auto client = makeClient(broker.port());
        QSignalSpy connected(client.get(), &MqttClient::connected);
        QSignalSpy errors(client.get(), &MqttClient::error);
        client->connect();
        QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 1, WaitMs);

        client->disconnect();
        QVERIFY(log.contains("[MqttClient] Disconnecting from host"));
        QCOMPARE(client->state(), MosquittoClient::Disconnected);
        QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 2, WaitMs);
        QCOMPARE(errors.count(), 0);
    }

    void encryptedWarnsAndConnectsInClear()
    {
        MosquittoBroker broker;
        QVERIFY(broker.start());
        LogCapture log;
        auto client = makeClient(broker.port());
        client->setEncrypted(true);
        client->connect();
        QTRY_COMPARE_WITH_TIMEOUT(client->state(), MosquittoClient::Connected, WaitMs);
        QCOMPARE(log.count("[MqttClient] Encryption not yet supported"), 1);
    }

    void connectWhileConnectedAppliesNewSettings_data()
    {
        QTest::addColumn<bool>("fromMessage");
        QTest::newRow("called from outside") << false;
        // As when a configuration message changes the broker settings.
        QTest::newRow("called while a message is handled") << true;
    }

    void connectWhileConnectedAppliesNewSettings()
    {
        QFETCH(bool, fromMessage);
        MosquittoBroker first;
        MosquittoBroker second;
        QVERIFY(first.start());
        QVERIFY(second.start());
        auto client = makeClient(first.port(), "tst_move");
        client->subscribe("x/y");
        client->connect();
        QTRY_COMPARE_WITH_TIMEOUT(first.subscriptions("tst_move").size(), 1, WaitMs);

        client->setPort(second.port());
        MqttObserver observer;
        if (fromMessage) {
            MqttClient *c = client.get();
            connect(c, &MqttClient::received, c, [c] { c->connect(); });
            QVERIFY(observer.connectTo(first.host(), first.port()));
            QVERIFY(observer.publish("x/y", "move"));
        } else {
            client->connect();
        }
        QTRY_COMPARE_WITH_TIMEOUT(second.subscriptions("tst_move"), QStringList{"x/y"}, WaitMs);
        QCOMPARE(client->state(), MosquittoClient::Connected);
        QTest::qWait(RetryMs * 2);
        QCOMPARE(client->state(), MosquittoClient::Connected);
    }
};

QTEST_GUILESS_MAIN(MqttClientTest)
#include "tst_mqttclient.moc"
