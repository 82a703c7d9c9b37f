#include "Board.h"
#include "Inspector.h"
#include "MosquittoBroker.h"
#include "MqttObserver.h"
#include "Scenario.h"
#include "Simulator.h"
#include "Validator.h"

#include <QJsonDocument>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using manager::MqttClient;

namespace {

constexpr int WaitMs = 10000;

std::unique_ptr<MqttClient> connectedClient(const MosquittoBroker &broker, const QString &id)
{
    auto client = std::make_unique<MqttClient>();
    client->setHostname(broker.host());
    client->setPort(broker.port());
    client->setClientId(id);
    client->setRetryMillis(300);
    return client;
}

} // namespace

// The UI's managers against the simulator, on a real broker.
class SimulatorTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_broker = std::make_unique<MosquittoBroker>();
        QVERIFY(m_broker->start());
        m_simClient = connectedClient(*m_broker, "simulator");
        m_simulator = std::make_unique<sim::Simulator>(*m_simClient, sim::Simulator::Bases());
        m_simClient->connect();

        m_uiClient = connectedClient(*m_broker, "ui");
        m_validator = std::make_unique<manager::Validator>(*m_uiClient, "velt/blm");
        m_board = std::make_unique<manager::Board>(*m_uiClient, "velt/board");
        m_inspector = std::make_unique<manager::Inspector>(*m_uiClient, "velt/inspector");
        QSignalSpy connected(m_uiClient.get(), &MqttClient::connected);
        m_uiClient->connect();
        QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 1, WaitMs);
        // The retained reports reach a UI that starts after the simulator.
        QTRY_COMPARE_WITH_TIMEOUT(m_validator->status(), QString("online"), WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(m_board->status(), QString("online"), WaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(m_inspector->audioVolume() > 0, WaitMs);
    }

    void cleanupTestCase()
    {
        m_inspector.reset();
        m_board.reset();
        m_validator.reset();
        m_uiClient.reset();
        m_simulator.reset();
        m_simClient.reset();
        m_broker.reset();
    }

    void validatorStates_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("code");

        QTest::newRow("init") << "validator init"
                              << "init"
                              << "";
        QTest::newRow("degraded, OBC") << "validator degraded obu"
                                       << "degraded"
                                       << "#0005";
        QTest::newRow("degraded, both") << "validator degraded both"
                                        << "degraded"
                                        << "#0005";
        QTest::newRow("out of service") << "validator out-of-service"
                                        << "out-of-service"
                                        << "#0006";
        QTest::newRow("service down") << "validator down"
                                      << "offline"
                                      << "#0002";
        QTest::newRow("RFID updating") << "validator rfid-updating"
                                       << "offline"
                                       << "#0003";
        QTest::newRow("no RFID") << "validator no-rfid"
                                 << "offline"
                                 << "#0004";
        QTest::newRow("NTP lost") << "validator ntp-lost"
                                  << "offline"
                                  << "#0007";
        QTest::newRow("NTP not reported") << "validator ntp-unreported"
                                          << "online"
                                          << "";
        QTest::newRow("online") << "validator online"
                                << "online"
                                << "";
    }

    void validatorStates()
    {
        QFETCH(QString, command);
        QFETCH(QString, status);
        QFETCH(QString, code);
        QCOMPARE(m_simulator->execute("validator online"), QString());
        QTRY_COMPARE_WITH_TIMEOUT(m_validator->status(), QString("online"), WaitMs);
        QCOMPARE(m_simulator->execute(command), QString());
        QTRY_COMPARE_WITH_TIMEOUT(m_validator->status(), status, WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(m_validator->reasonCode(), code, WaitMs);
        if (command.endsWith("both"))
            QCOMPARE(m_validator->reason(), QString("OBC lost,Barcode not operational"));
    }

    void validations_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("deny");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<QVariant>("value");

        QTest::newRow("stored journeys")
            << "card valid type=journeys trips=7" << true << 5 << 0 << "remaining" << QVariant(7);
        QTest::newRow("e-purse") << "card valid type=epurse before=250 after=100" << true << 2 << 0
                                 << "deducted" << QVariant(1.5);
        QTest::newRow("period pass in days")
            << "card valid type=pass days=2" << true << 8 << 0 << "remaining" << QVariant(2880);
        QTest::newRow("ticket already validated")
            << "ticket invalid deny=103 from=Syntagma" << false << 0 << 103 << "fromStopGroupName"
            << QVariant("Syntagma");
        QTest::newRow("card with a product name")
            << "card invalid deny=205 \"product=Monthly pass\" type=8" << false << 8 << 205
            << "remaining" << QVariant(43200);
    }

    void validations()
    {
        QFETCH(QString, command);
        QFETCH(bool, valid);
        QFETCH(int, type);
        QFETCH(int, deny);
        QFETCH(QString, detail);
        QFETCH(QVariant, value);

        QVector<QVariantMap> results;
        auto connection = connect(m_validator.get(), &manager::Validator::ticketValidated, this,
                                  [&](const Transaction &t) { results << t.toMap(); });
        QCOMPARE(m_simulator->execute(command), QString());
        QTRY_COMPARE_WITH_TIMEOUT(results.size(), 1, WaitMs);
        disconnect(connection);
        QCOMPARE(results[0].value("valid").toBool(), valid);
        QCOMPARE(results[0].value("type").toInt(), type);
        QCOMPARE(results[0].value("denyReasonId").toInt(), deny);
        QCOMPARE(results[0].value("details").toMap().value(detail), value);
        if (command.contains("product="))
            QCOMPARE(results[0].value("fareProduct").toString(), QString("Monthly pass"));
    }

    void readerSwitchingIsReflected()
    {
        QCOMPARE(m_simulator->execute("validator online"), QString());
        QTRY_VERIFY_WITH_TIMEOUT(m_validator->rfid()->enabled(), WaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(m_validator->barcode()->enabled(), WaitMs);

        m_validator->disableRfid();
        m_validator->disableBarcode();
        QTRY_COMPARE_WITH_TIMEOUT(m_validator->rfid()->state(), QString("Idle"), WaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(!m_validator->barcode()->enabled(), WaitMs);

        m_validator->enableRfid();
        m_validator->enableBarcode();
        QTRY_COMPARE_WITH_TIMEOUT(m_validator->rfid()->state(), QString("Searching"), WaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(m_validator->barcode()->enabled(), WaitMs);
    }

    void validatorConfigurationRoundTrip()
    {
        m_validator->config()->setObuUrl(QUrl("mqtt://tech:pw@10.1.2.3:1884"));
        m_validator->config()->setPassbackSecs(45);
        m_validator->config()->setPassbackQrEnabled(true);
        m_validator->saveConfig();
        // The service stores it and reports it back in its own (string) form.
        m_validator->config()->setPassbackSecs(0);
        QTRY_COMPARE_WITH_TIMEOUT(m_validator->config()->passbackSecs(), 45, WaitMs);
        QCOMPARE(m_validator->config()->obuUrl(), QUrl("mqtt://tech:pw@10.1.2.3:1884"));
        QVERIFY(m_validator->config()->passbackQrEnabled());
    }

    void boardIgnitionAndValues()
    {
        QSignalSpy ignition(m_board.get(), &manager::Board::ignitionChanged);
        QCOMPARE(m_simulator->execute("ignition off"), QString());
        QTRY_VERIFY_WITH_TIMEOUT(ignition.count() >= 1, WaitMs);
        QVERIFY(!m_board->ignition());
        QCOMPARE(m_simulator->execute("ignition on"), QString());
        QTRY_VERIFY_WITH_TIMEOUT(m_board->ignition(), WaitMs);

        QCOMPARE(m_simulator->execute("temperature 63.5"), QString());
        QTRY_COMPARE_WITH_TIMEOUT(m_board->temperature(), 63.5, WaitMs);
        QCOMPARE(m_simulator->execute("board error"), QString());
        QTRY_COMPARE_WITH_TIMEOUT(m_board->status(), QString("error"), WaitMs);
        QCOMPARE(m_simulator->execute("board online"), QString());
        QTRY_COMPARE_WITH_TIMEOUT(m_board->status(), QString("online"), WaitMs);

        // Requests are applied and reported back.
        m_board->setDisplayBrightness(33);
        QTRY_COMPARE_WITH_TIMEOUT(m_board->displayBrightness(), 33, WaitMs);
        m_board->setPeripheralPower("usbHub", false);
        QTRY_VERIFY_WITH_TIMEOUT(!m_board->peripheralPower("usbHub"), WaitMs);
        m_board->setDelayShutdownFor(90);
        QTRY_COMPARE_WITH_TIMEOUT(m_board->delayShutdownFor(), 90, WaitMs);
    }

    void inspectorVolume()
    {
        m_inspector->setAudioVolume(40);
        QTRY_COMPARE_WITH_TIMEOUT(m_inspector->audioVolume(), 40, WaitMs);
        QCOMPARE(m_simulator->execute("inspector volume 65"), QString());
        QTRY_COMPARE_WITH_TIMEOUT(m_inspector->audioVolume(), 65, WaitMs);
    }

    // Services whose managers come later: requests answered on the broker.
    void otherServicesAnswer()
    {
        MqttObserver observer;
        QVERIFY(observer.connectTo(m_broker->host(), m_broker->port()));
        const auto last = [&observer](const QString &topic) {
            const auto messages = observer.messages(topic);
            return messages.isEmpty() ? QJsonObject()
                                      : QJsonDocument::fromJson(messages.last().payload).object();
        };

        // Software update: a check finds the offered version; installing reports progress.
        QCOMPARE(m_simulator->execute("device pending 1.1.0"), QString());
        QVERIFY(observer.publish("velt/device/software/check", ""));
        QTRY_COMPARE_WITH_TIMEOUT(last("velt/device/update/software/status").value("pending"),
                                  QJsonValue("1.1.0"), WaitMs);
        QVERIFY(observer.publish("velt/device/update/software/install", ""));
        QTRY_COMPARE_WITH_TIMEOUT(last("velt/device/update/software/status").value("current"),
                                  QJsonValue("1.1.0"), WaitMs);
        const auto progress = observer.messages("velt/device/update/software/progress");
        QVERIFY(progress.size() >= 2);
        QVERIFY(QJsonDocument::fromJson(progress.first().payload)
                    .object()
                    .value("message")
                    .toString()
                    .contains('/'));

        // NTP configuration applied and reported.
        QVERIFY(observer.publish("velt/device/clock/ntp/config/set",
                                 R"({"enabled": true, "server": "ntp.example.org"})"));
        QTRY_COMPARE_WITH_TIMEOUT(last("velt/device/clock/ntp/config").value("server"),
                                  QJsonValue("ntp.example.org"), WaitMs);

        // Ethernet: a manual configuration is stored and used.
        QVERIFY(observer.publish("velt/network/ethernet/config/set",
                                 R"({"interface": "eth0", "method": "manual",
                                     "address": "10.0.0.9", "netmask": "255.0.0.0",
                                     "gateway": "10.0.0.1", "dns0": "10.0.0.1", "dns1": ""})"));
        QTRY_COMPARE_WITH_TIMEOUT(last("velt/network/ethernet/config").value("address"),
                                  QJsonValue("10.0.0.9"), WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(
            last("velt/network/ethernet/state").value("ipv4").toObject().value("address"),
            QJsonValue("10.0.0.9"), WaitMs);
        QCOMPARE(m_simulator->execute("network state Disconnected"), QString());
        QTRY_COMPARE_WITH_TIMEOUT(last("velt/network/status").value("stateStr"),
                                  QJsonValue("Disconnected"), WaitMs);

        // Barcode reader and GPS.
        QCOMPARE(m_simulator->execute("barcode scan \"HELLO 42\""), QString());
        QTRY_COMPARE_WITH_TIMEOUT(last("velt/barcode/barcode").value("data"),
                                  QJsonValue("HELLO 42"), WaitMs);
        QCOMPARE(m_simulator->execute("gps position 40.6401 22.9444"), QString());
        QTRY_COMPARE_WITH_TIMEOUT(last("velt/gps/data").value("latitude"), QJsonValue("40.640100"),
                                  WaitMs);
    }

    void badCommands_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("error");
        QTest::newRow("unknown word") << "frobnicate"
                                      << "unknown command 'frobnicate' (try help)";
        QTest::newRow("unknown validator state") << "validator sideways"
                                                 << "unknown validator command 'sideways'";
        QTest::newRow("bad switch") << "ignition maybe"
                                    << "ignition takes on or off";
        QTest::newRow("bad option") << "card valid colour=red"
                                    << "unknown option 'colour'";
        QTest::newRow("bad type") << "card valid type=rocket"
                                  << "unknown transaction type 'rocket'";
        QTest::newRow("unclosed quote") << "card valid \"product=x"
                                        << "unclosed quote";
        QTest::newRow("wait outside a scenario") << "wait 10"
                                                 << "wait is for scenarios";
        QTest::newRow("maintenance without JSON") << "maintenance {oops"
                                                  << "maintenance needs a JSON object";
        QTest::newRow("unknown progress topic") << "device progress-topic progres"
                                                << "expected progress or progess";
        QTest::newRow("unknown status form") << "device status-form number"
                                             << "expected object or string";
    }

    void badCommands()
    {
        QFETCH(QString, command);
        QFETCH(QString, error);
        QVERIFY2(m_simulator->execute(command).startsWith(error),
                 qPrintable(m_simulator->execute(command)));
    }

    void scenarioReportsBadLinesAndGoesOn()
    {
        QSignalSpy failed(m_simulator.get(), &sim::Simulator::commandFailed);
        QSignalSpy finished(m_simulator.get(), &sim::Simulator::scenarioFinished);
        m_simulator->runScenario("# a story\n"
                                 "validator online\n"
                                 "wait soon\n"
                                 "bogus command\n"
                                 "wait 50\n"
                                 "validator out-of-service\n",
                                 "story.txt", false);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, WaitMs);
        QCOMPARE(failed.count(), 2);
        QCOMPARE(failed.at(0).at(0).toString(),
                 QString("story.txt:3: wait needs one number of milliseconds"));
        QCOMPARE(failed.at(1).at(0).toString(),
                 QString("story.txt:4: unknown command 'bogus' (try help)"));
        QTRY_COMPARE_WITH_TIMEOUT(m_validator->status(), QString("out-of-service"), WaitMs);
    }

    void controlTopic()
    {
        MqttObserver observer;
        QVERIFY(observer.connectTo(m_broker->host(), m_broker->port()));
        QVERIFY(observer.publish(sim::Simulator::CommandTopic, "validator online\nnonsense"));
        QTRY_COMPARE_WITH_TIMEOUT(m_validator->status(), QString("online"), WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(observer.messages(sim::Simulator::ErrorTopic).size(), 1, WaitMs);
        QVERIFY(observer.messages(sim::Simulator::ErrorTopic)
                    .first()
                    .payload.contains("unknown command 'nonsense'"));
    }

    void splitting_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("words");
        QTest::newRow("plain") << "card valid type=2" << QStringList{"card", "valid", "type=2"};
        QTest::newRow("quoted") << "route \"X95 to the airport\""
                                << QStringList{"route", "X95 to the airport"};
        QTest::newRow("quoted part of a word") << "card valid product=\"Day pass\""
                                               << QStringList{"card", "valid", "product=Day pass"};
        QTest::newRow("escaped quote") << "say \"a \\\"b\\\"\"" << QStringList{"say", "a \"b\""};
        QTest::newRow("blanks") << "  a \t b  " << QStringList{"a", "b"};
        // A JSON document ends the line, quotes and blanks as typed.
        QTest::newRow("JSON document")
            << R"(validator maintenance {"network": {"eth0": {"method": "auto"}}}  )"
            << QStringList{"validator", "maintenance",
                           R"({"network": {"eth0": {"method": "auto"}}})"};
        QTest::newRow("brace inside a word") << "say a{b c" << QStringList{"say", "a{b", "c"};
    }

    void splitting()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, words);
        QStringList result;
        QVERIFY(sim::Scenario::split(line, &result));
        QCOMPARE(result, words);
    }

    // The program: a bad scenario line is reported with its line, and it keeps serving.
    void programKeepsRunning()
    {
        QTemporaryDir dir;
        QFile scenario(dir.filePath("demo.txt"));
        QVERIFY(scenario.open(QIODevice::WriteOnly));
        scenario.write("validator online\nnot-a-command now\nwait 20\nvalidator init\n");
        scenario.close();

        QProcess program;
        program.setProcessChannelMode(QProcess::SeparateChannels);
        program.start(PERNIX_SIMULATOR_BINARY,
                      {"-H", m_broker->host(), "-P", QString::number(m_broker->port()), "-s",
                       scenario.fileName()});
        QVERIFY(program.waitForStarted());
        QString err;
        QTRY_VERIFY_WITH_TIMEOUT(
            (err += QString::fromUtf8(program.readAllStandardError()))
                .contains("demo.txt:2: unknown command 'not-a-command' (try help)"),
            WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(m_validator->status(), QString("init"), WaitMs);

        // Still there: a command typed on its standard input is applied.
        program.write("validator online\n");
        QTRY_COMPARE_WITH_TIMEOUT(m_validator->status(), QString("online"), WaitMs);
        QCOMPARE(program.state(), QProcess::Running);
        program.terminate();
        QVERIFY(program.waitForFinished(5000));
    }

private:
    std::unique_ptr<MosquittoBroker> m_broker;
    std::unique_ptr<MqttClient> m_simClient;
    std::unique_ptr<sim::Simulator> m_simulator;
    std::unique_ptr<MqttClient> m_uiClient;
    std::unique_ptr<manager::Validator> m_validator;
    std::unique_ptr<manager::Board> m_board;
    std::unique_ptr<manager::Inspector> m_inspector;
};

QTEST_GUILESS_MAIN(SimulatorTest)
#include "tst_simulator.moc"
