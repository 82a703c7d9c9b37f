#include "LogCapture.h"
#include "MosquittoBroker.h"
#include "MqttClient.h"
#include "MqttObserver.h"

#include <QJsonDocument>
#include <QJsonObject>
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
// Timers never fire early; this only absorbs the rounding of their millisecond clock.
constexpr double TimerSlackMs = 20;

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

    QTemporaryDir m_traceDir;

private slots:
    // Before the first publication of the process: that is when the client opens its trace.
    void initTestCase()
    {
        QVERIFY(m_traceDir.isValid());
        qputenv("PERNIX_MQTT_TRACE", m_traceDir.path().toLocal8Bit());
    }

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

    void repeatedConnectKeepsOneRetryCycle_data()
    {
        QTest::addColumn<bool>("hanging"); // a server that accepts and never answers
        QTest::newRow("no broker") << false;
        QTest::newRow("attempts that hang") << true;
    }

    // The application calls connect() again on every mqtt/* configuration change, while the
    // broker may be away: still one attempt per period, never one more retry chain per call.
    void repeatedConnectKeepsOneRetryCycle()
    {
        QFETCH(bool, hanging);
        QTcpServer silent;
        QList<QTcpSocket *> accepted;
        quint16 port = MosquittoBroker::freePort();
        if (hanging) {
            QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
            connect(&silent, &QTcpServer::newConnection, this, [&] {
                while (QTcpSocket *socket = silent.nextPendingConnection())
                    accepted.append(socket);
            });
            port = silent.serverPort();
        }

        LogCapture log;
        const QString attempt = "[MqttClient] Connecting to host";
        auto client = makeClient(port);
        QSignalSpy connected(client.get(), &MqttClient::connected);
        constexpr int Calls = 5;
        for (int i = 0; i < Calls; ++i)
            client->connect();
        QCOMPARE(log.count(attempt), Calls);

        // From the last call on, one attempt per period: each at least retryMillis after the
        // one before (a lower bound holds however busy the machine is).
        constexpr int Periods = 6;
        QTRY_VERIFY_WITH_TIMEOUT(log.count(attempt) >= Calls + Periods, WaitMs);
        const QList<double> times = log.times(attempt).mid(Calls - 1);
        for (int i = 1; i < times.size(); ++i) {
            const double gap = times.at(i) - times.at(i - 1);
            QVERIFY2(
                gap >= RetryMs - TimerSlackMs,
                qPrintable(QString("attempt %1 came %2 ms after the one before").arg(i).arg(gap)));
        }
        QCOMPARE(connected.count(), 0);
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
        // Not a palindrome: requested in reverse order, it would read differently.
        client->subscribe("a/one");
        client->subscribe("b/#", 1);
        client->subscribe("a/one");
        client->subscribe("c/two");
        QCOMPARE(log.countStartingWith("[MqttClient] Subscribing"), 0);

        client->connect();
        const QStringList once = {"a/one", "b/#", "a/one", "c/two"};
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

    // Owners send their "get" requests when they hear of the connection; the answer, not
    // retained, must find the subscription in place: every recorded subscription is requested
    // again before the owners are told.
    void subscriptionsRenewedBeforeOwnersHearOfConnection()
    {
        MosquittoBroker broker;
        QVERIFY(broker.start());
        auto client = makeClient(broker.port(), "tst_order");
        client->subscribe("svc/answer");
        client->subscribe("svc/status");
        MqttClient *c = client.get();
        QList<MosquittoClient::ClientState> statesSeen;
        connect(c, &MqttClient::connected, c, [c, &statesSeen] {
            statesSeen.append(c->state());
            c->publish("{}", "svc/get");
        });
        QSignalSpy connected(c, &MqttClient::connected);
        client->connect();

        // The broker handles one client's packets in the order they were sent.
        const QStringList once = {"subscribe svc/answer", "subscribe svc/status",
                                  "publish svc/get"};
        QTRY_COMPARE_WITH_TIMEOUT(broker.requests("tst_order"), once, WaitMs);

        // After a broker restart, likewise.
        QSignalSpy disconnected(c, &MqttClient::disconnected);
        broker.stop();
        QTRY_VERIFY_WITH_TIMEOUT(disconnected.count() >= 1, WaitMs);
        QVERIFY(broker.start());
        QTRY_COMPARE_WITH_TIMEOUT(broker.requests("tst_order"), once + once, WaitMs);
        QCOMPARE(connected.count(), 2);
        QCOMPARE(statesSeen, (QList<MosquittoClient::ClientState>{MosquittoClient::Connected,
                                                                  MosquittoClient::Connected}));
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

        // The attempt stays pending (neither connected nor refused) until the retry period
        // cuts it: at least retryMillis after it began.
        QTRY_VERIFY_WITH_TIMEOUT(log.count("[MqttClient] State is Disconnected.") >= 1, WaitMs);
        const double began = log.times("[MqttClient] Connecting to host").first();
        const double cut = log.times("[MqttClient] State is Disconnected.").first();
        QVERIFY2(cut - began >= RetryMs - TimerSlackMs,
                 qPrintable(QString("cut after %1 ms").arg(cut - began)));

        // Then tried again.
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

    void burstArrivesWholeAndInOrder()
    {
        MosquittoBroker broker;
        QVERIFY(broker.start());
        MqttObserver observer;
        QVERIFY(observer.connectTo(broker.host(), broker.port()));
        auto client = makeClient(broker.port());
        client->subscribe("burst/in");
        QSignalSpy received(client.get(), &MqttClient::received);
        client->connect();
        QTRY_COMPARE_WITH_TIMEOUT(broker.subscriptions("tst_client").size(), 1, WaitMs);

        // Many small packets land in the socket together and are read in one go; now and then
        // one larger than a read arrives in parts between them.
        QLoggingCategory::setFilterRules("*.debug=false");
        auto restore = qScopeGuard([] { QLoggingCategory::setFilterRules(QString()); });
        QVector<QByteArray> sent;
        for (int i = 0; i < 3000; ++i) {
            QByteArray payload = QByteArray::number(i);
            if (i % 500 == 499)
                payload += QByteArray(300 * 1024, char('a' + i % 26));
            sent.append(payload);
            QVERIFY(observer.publish("burst/in", payload));
        }
        QTRY_COMPARE_WITH_TIMEOUT(received.count(), sent.size(), 4 * WaitMs);
        for (int i = 0; i < sent.size(); ++i)
            QVERIFY2(received.at(i).at(0).toByteArray() == sent.at(i),
                     qPrintable(QString::number(i)));
    }

    // A broker that stops reading, while the connection still looks alive: the publications
    // behind it stay bounded, the newest are kept, and the stream goes on once it reads again.
    // If the connection is lost instead, what waits is dropped and the next connection starts
    // with nothing owed.
    void stalledBrokerBoundsWaitingPublications_data()
    {
        QTest::addColumn<bool>("brokerReturns");
        QTest::newRow("broker reads again") << true;
        QTest::newRow("connection lost") << false;
    }

    void stalledBrokerBoundsWaitingPublications()
    {
        QFETCH(bool, brokerReturns);
        MosquittoBroker broker;
        QVERIFY(broker.start());
        MqttObserver observer;
        QVERIFY(observer.connectTo(broker.host(), broker.port()));
        auto client = makeClient(broker.port());
        client->setKeepAlive(60); // the stall must not end the connection by itself
        QSignalSpy connected(client.get(), &MqttClient::connected);
        QSignalSpy disconnected(client.get(), &MqttClient::disconnected);
        client->connect();
        QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 1, WaitMs);

        QLoggingCategory::setFilterRules("*.debug=false");
        auto restore = qScopeGuard([] { QLoggingCategory::setFilterRules(QString()); });
        LogCapture log;
        broker.pause();
        // Far more than the socket buffers and both bounds hold.
        constexpr int Count = 3000;
        const QByteArray padding(20 * 1024, 'x');
        for (int i = 0; i < Count; ++i) {
            QVERIFY(client->publish(QByteArray::number(i) + ' ' + padding, "stall/out"));
            QCoreApplication::processEvents(); // the socket drains as far as it can meanwhile
        }
        QCOMPARE(log.countStartingWith("[MqttClient] WARN: Broker not keeping up, dropping the "
                                       "oldest waiting publications"),
                 1);

        if (!brokerReturns) {
            broker.stop();
            QTRY_COMPARE_WITH_TIMEOUT(disconnected.count(), 1, WaitMs);
            QTRY_VERIFY_WITH_TIMEOUT(
                !log.lines()
                     .filter(QRegularExpression("^\\[MqttClient\\] WARN: \\d+ publications "
                                                "dropped with the lost connection$"))
                     .isEmpty(),
                WaitMs);
            QVERIFY(broker.start());
            QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 2, 4 * WaitMs);
            MqttObserver again;
            QVERIFY(again.connectTo(broker.host(), broker.port()));
            // Nothing of the old connection is still counted against the new one.
            for (int i = 0; i < MqttClient::MaxUnfinished + 10; ++i)
                QVERIFY(client->publish(QByteArray::number(i), "after/out"));
            QTRY_COMPARE_WITH_TIMEOUT(again.messages("after/out").size(),
                                      MqttClient::MaxUnfinished + 10, WaitMs);
            return;
        }

        broker.resume();
        const QByteArray last = QByteArray::number(Count - 1) + ' ' + padding;
        QTRY_VERIFY_WITH_TIMEOUT(!observer.messages("stall/out").isEmpty() &&
                                     observer.messages("stall/out").last().payload == last,
                                 4 * WaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(
            !log.lines()
                 .filter(QRegularExpression("^\\[MqttClient\\] WARN: \\d+ publications dropped "
                                            "while the broker was not keeping up$"))
                 .isEmpty(),
            WaitMs);
        QCOMPARE(disconnected.count(), 0);

        // In order, with a gap where the oldest waiting ones were dropped, and the newest whole.
        QVector<int> numbers;
        for (const auto &message : observer.messages("stall/out"))
            numbers.append(message.payload.split(' ').first().toInt());
        QVERIFY(std::is_sorted(numbers.begin(), numbers.end()));
        QVERIFY(numbers.size() < Count);
        QVERIFY(numbers.size() >= MqttClient::MaxWaiting);
        for (int i = 1; i <= MqttClient::MaxWaiting; ++i)
            QCOMPARE(numbers.at(numbers.size() - i), Count - i);

        // Afterwards publications go straight out again.
        QVERIFY(client->publish("after", "stall/out"));
        QTRY_COMPARE_WITH_TIMEOUT(observer.messages("stall/out").last().payload,
                                  QByteArray("after"), WaitMs);
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

    // PERNIX_MQTT_TRACE: each publication handed to the broker and the will (once per will)
    // as one JSON line; bytes that are not UTF-8 in base64.
    void publicationTrace()
    {
        MosquittoBroker broker;
        QVERIFY(broker.start());
        MqttObserver observer;
        QVERIFY(observer.connectTo(broker.host(), broker.port()));
        auto client = makeClient(broker.port(), "tst_trace");
        client->setWillTopic("velt/ui/status");
        client->setWillMessage("{\"service\": false}");
        client->connect();
        QTRY_COMPARE_WITH_TIMEOUT(client->state(), MosquittoClient::Connected, WaitMs);
        // A new connection with the same will does not repeat it.
        client->disconnect();
        QTRY_COMPARE_WITH_TIMEOUT(client->state(), MosquittoClient::Connected, WaitMs);

        QVERIFY(client->publish("{\"version\": \"\u00e9\"}", "velt/ui/info", 0, true));
        QVERIFY(client->publish(QByteArray("\xff\xfe", 2), "velt/board/event"));
        QVERIFY(!client->publish("x", "velt/#"));
        QVERIFY(observer.publish("velt/ui/config/set", "raw"));

        QFile file(
            m_traceDir.filePath(QString::number(QCoreApplication::applicationPid()) + ".jsonl"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QList<QJsonObject> lines;
        for (const QByteArray &line : file.readAll().split('\n')) {
            const QJsonObject object = QJsonDocument::fromJson(line).object();
            // Only the client's own publications: not what others sent through the broker.
            QVERIFY(object.value("topic") != "velt/ui/config/set");
            if (object.value("client") == "tst_trace")
                lines.append(object);
        }
        const QList<QJsonObject> expected = {
            {{"client", "tst_trace"},
             {"topic", "velt/ui/status"},
             {"payload", "{\"service\": false}"},
             {"retain", true},
             {"will", true}},
            {{"client", "tst_trace"},
             {"topic", "velt/ui/info"},
             {"payload", QString::fromUtf8("{\"version\": \"\u00e9\"}")},
             {"retain", true},
             {"will", false}},
            {{"client", "tst_trace"},
             {"topic", "velt/board/event"},
             {"base64", "//4="},
             {"retain", false},
             {"will", false}},
        };
        QCOMPARE(lines, expected);
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
            QCOMPARE(client->state(), MosquittoClient::Disconnected);
            // Once the broker has handled the end of the connection (orderly or not), a will
            // would already be on its way to the observer; a marker published after that
            // arrives after it.
            const QRegularExpression handled(
                "^\\d+: Client tst_will (disconnected|closed its connection)\\.$");
            QTRY_VERIFY_WITH_TIMEOUT(broker.log().indexOf(handled) >= 0, WaitMs);
            QVERIFY(observer.publish("test/marker", "after the disconnect"));
            QTRY_COMPARE_WITH_TIMEOUT(observer.messages("test/marker").size(), 1, WaitMs);
            QStringList topics;
            for (const MqttObserver::Message &message : observer.messages())
                topics.append(message.topic);
            QVERIFY2(!topics.contains("velt/ui/status"), qPrintable(topics.join(", ")));
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

        // No timer left from the move (attempt cut, reconnection) drops the new connection.
        // Such a timer was started before the client connected, with at most retryMillis: it
        // fires before a marker timer started now with twice that (timers fire in the order
        // they expire), and a drop would be signalled at once.
        QSignalSpy disconnected(client.get(), &MqttClient::disconnected);
        QSignalSpy reconnected(client.get(), &MqttClient::connected);
        QTimer marker;
        marker.setSingleShot(true);
        marker.setTimerType(Qt::PreciseTimer);
        QSignalSpy markerFired(&marker, &QTimer::timeout);
        marker.start(RetryMs * 2);
        QTRY_COMPARE_WITH_TIMEOUT(markerFired.count(), 1, WaitMs);
        QCOMPARE(disconnected.count(), 0);
        QCOMPARE(client->state(), MosquittoClient::Connected);

        // And it still carries messages, on the same connection.
        MqttObserver onSecond;
        QVERIFY(onSecond.connectTo(second.host(), second.port()));
        QVERIFY(client->publish("ping", "probe/alive"));
        QTRY_COMPARE_WITH_TIMEOUT(onSecond.messages("probe/alive").size(), 1, WaitMs);
        QCOMPARE(disconnected.count(), 0);
        QCOMPARE(reconnected.count(), 0);
    }

    // "/config" and "/config/set" payloads carry the MQTT password; the debug lines that show
    // payloads mask it. The messages themselves are unchanged.
    void passwordNotInDebugLines()
    {
        QLoggingCategory::setFilterRules("*.debug=true");
        auto restore = qScopeGuard([] { QLoggingCategory::setFilterRules(QString()); });
        MosquittoBroker broker;
        QVERIFY(broker.start());
        MqttObserver observer;
        QVERIFY(observer.connectTo(broker.host(), broker.port()));
        LogCapture log;
        auto client = makeClient(broker.port(), "tst_secret");
        client->subscribe("velt/ui/config/set");
        QSignalSpy received(client.get(), &MqttClient::received);
        client->connect();
        QTRY_COMPARE_WITH_TIMEOUT(broker.subscriptions("tst_secret").size(), 1, WaitMs);

        const QByteArray payload = R"({"mqtt": {"host": "10.0.0.1", "password": "s3cret"}})";
        QVERIFY(client->publish(payload, "velt/ui/config"));
        QTRY_COMPARE_WITH_TIMEOUT(observer.messages("velt/ui/config").size(), 1, WaitMs);
        QCOMPARE(observer.messages("velt/ui/config").first().payload, payload);
        QVERIFY(observer.publish("velt/ui/config/set", payload));
        QTRY_COMPARE_WITH_TIMEOUT(received.count(), 1, WaitMs);
        QCOMPARE(received.at(0).at(0).toByteArray(), payload);

        // Both lines written, with the rest of the payload, and without the password.
        const QString lines = log.lines().join('\n');
        QCOMPARE(log.countStartingWith("[MqttClient] Publishing to topic 'velt/ui/config' "), 1);
        QCOMPARE(log.countStartingWith("[MqttClient] Received on topic: velt/ui/config/set\n"), 1);
        QCOMPARE(lines.count("10.0.0.1"), 2);
        QVERIFY2(!lines.contains("s3cret"), qPrintable(lines));
    }
};

QTEST_GUILESS_MAIN(MqttClientTest)
#include "tst_mqttclient.moc"
