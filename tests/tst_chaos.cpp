// The broker and the device services misbehaving while the program serves passengers: the
// broker killed and started again, the validator service gone and back, a service flooding its
// topic, the services killed mid-conversation. The program must come back each time, lose and
// repeat no result, and keep its screen.

#include "MosquittoBroker.h"
#include "MqttObserver.h"
#include "Program.h"
#include "SimulatorRun.h"

#include <QtTest>

#include <memory>

namespace {

constexpr int WaitMs = 20000;
constexpr int Restarts = 4;

// A unit with its serial number, so that it serves passengers from the start.
const QMap<QString, QByteArray> Unit = {{"serialnumber", "C00001234"},
                                        {"gui.conf", "[gui]\ndeviceId=serialnumber\n"}};

// A unit on a bus: its broker, the device services (the simulator, validator online, ignition
// on) and the program.
struct Bus
{
    explicit Bus(bool quietBroker = false)
        : broker({}, quietBroker), started(broker.start()), simulator(broker.host(), broker.port()),
          ready(simulator.execute("ignition on").isEmpty() &&
                simulator.execute("validator online").isEmpty()),
          program({"--stderr", "--host=127.0.0.1", "--port=" + QString::number(broker.port())},
                  Unit)
    {}

    // True once the program shows the idle screen.
    bool serving()
    {
        return started && ready &&
               QTest::qWaitFor([&] { return program.lastScreen() == "ScanScreens"; }, WaitMs);
    }

    MosquittoBroker broker;
    bool started;
    SimulatorRun simulator;
    bool ready;
    Program program;
};

} // namespace

class ChaosTest : public QObject
{
    Q_OBJECT

private slots:
    // The broker dies and comes back again and again between results: every subscription comes
    // back, "Disconnected" shows while it is away, each result is shown once, and the program
    // announces itself again.
    void brokerRestarts()
    {
        Bus bus;
        QVERIFY(bus.serving());
        MosquittoBroker &broker = bus.broker;
        SimulatorRun &simulator = bus.simulator;
        Program &program = bus.program;
        const QString clientId = "Pernix_" + QString::number(program.process().processId());
        QTRY_VERIFY_WITH_TIMEOUT(broker.subscriptions(clientId).contains("velt/blm/rfid/scanned"),
                                 WaitMs);
        const QStringList firstSubscriptions = broker.subscriptions(clientId);

        int results = 0;
        for (int round = 1; round <= Restarts; ++round) {
            QCOMPARE(simulator.execute("card valid type=epurse before=1500 after=1380"), QString());
            ++results;
            QTRY_COMPARE_WITH_TIMEOUT(program.count(Program::screenLine("Valid")), results, WaitMs);
            QTRY_COMPARE_WITH_TIMEOUT(program.lastScreen(), QString("ScanScreens"), WaitMs);

            broker.stop();
            QTRY_COMPARE_WITH_TIMEOUT(
                program.count("[GUIManager] WARN: Disconnected from MQTT broker"), round, WaitMs);
            QTRY_COMPARE_WITH_TIMEOUT(program.lastScreen(), QString("OutOfOrder"), WaitMs);

            QVERIFY(broker.start());
            MqttObserver observer;
            QVERIFY(observer.connectTo(broker.host(), broker.port()));
            QTRY_COMPARE_WITH_TIMEOUT(program.count("[GUIManager] Connected to MQTT broker"),
                                      round + 1, WaitMs);
            // Its own status again, and every topic subscribed again on the new broker.
            QTRY_VERIFY_WITH_TIMEOUT(!observer.messages("velt/ui/status").isEmpty(), WaitMs);
            QTRY_COMPARE_WITH_TIMEOUT(broker.subscriptions(clientId).size(),
                                      firstSubscriptions.size() * (round + 1), WaitMs);
            // The validator's status comes back with the simulator, and with it the idle screen.
            QTRY_COMPARE_WITH_TIMEOUT(program.lastScreen(), QString("ScanScreens"), WaitMs);
        }
        // Nothing shown twice after a reconnection, nothing lost.
        QCOMPARE(simulator.execute("card valid type=epurse before=1500 after=1380"), QString());
        ++results;
        QTRY_COMPARE_WITH_TIMEOUT(program.count(Program::screenLine("Valid")), results, WaitMs);
        QTest::qWait(500);
        QCOMPARE(program.count(Program::screenLine("Valid")), results);
        QCOMPARE(program.process().state(), QProcess::Running);
    }

    // The validator service down while the program runs: out of order until it returns, then
    // back to serving.
    void validatorGoesAndReturns()
    {
        Bus bus;
        QVERIFY(bus.serving());
        SimulatorRun &simulator = bus.simulator;
        Program &program = bus.program;
        for (int round = 0; round < 3; ++round) {
            QCOMPARE(simulator.execute("validator down"), QString());
            QTRY_COMPARE_WITH_TIMEOUT(program.lastScreen(), QString("OutOfOrder"), WaitMs);
            QCOMPARE(simulator.execute("validator online"), QString());
            QTRY_COMPARE_WITH_TIMEOUT(program.lastScreen(), QString("ScanScreens"), WaitMs);
        }
    }

    // The device services die at once (SIGKILL, no goodbye) in the middle of a passenger's
    // validation and again with a card in the field and no result yet: the screen goes back to
    // idle on its own, the program keeps answering, and serves again when the services return.
    void servicesVanishMidConversation()
    {
        MosquittoBroker broker;
        QVERIFY(broker.start());
        const QStringList serviceArgs = {"-P", QString::number(broker.port())};
        // Commands are taken once the services are on the broker (the last thing they subscribe
        // to is their command topic).
        const auto startServices = [&](QProcess &services) {
            services.setProcessChannelMode(QProcess::MergedChannels);
            services.start(PERNIX_SIMULATOR, serviceArgs);
            QByteArray output;
            return services.waitForStarted() &&
                   QTest::qWaitFor(
                       [&] {
                           output += services.readAll();
                           return output.contains("'velt/simulator/command'");
                       },
                       WaitMs) &&
                   services.write("ignition on\nvalidator online\n") > 0;
        };
        auto services = std::make_unique<QProcess>();
        QVERIFY(startServices(*services));
        Program program(
            {"--stderr", "--host=127.0.0.1", "--port=" + QString::number(broker.port())}, Unit);
        QTRY_COMPARE_WITH_TIMEOUT(program.lastScreen(), QString("ScanScreens"), WaitMs);

        services->write("card valid type=epurse before=1500 after=1380\n");
        QTRY_COMPARE_WITH_TIMEOUT(program.count(Program::screenLine("Valid")), 1, WaitMs);
        services->kill(); // while the result shows
        QVERIFY(services->waitForFinished());
        QTRY_COMPARE_WITH_TIMEOUT(program.lastScreen(), QString("ScanScreens"), WaitMs);

        services = std::make_unique<QProcess>();
        QVERIFY(startServices(*services));
        services->write("card-found 04A1B2C3 4\n");
        QTRY_VERIFY_WITH_TIMEOUT(program.log().contains("Validator card detected : uid=04A1B2C3"),
                                 WaitMs);
        services->kill(); // the card read, its result never sent
        QVERIFY(services->waitForFinished());
        MqttObserver observer;
        QVERIFY(observer.connectTo(broker.host(), broker.port()));
        QVERIFY(observer.publish("velt/ui/status/get", QByteArray()));
        QTRY_VERIFY_WITH_TIMEOUT(!observer.messages("velt/ui/status").isEmpty(), WaitMs);
        QCOMPARE(program.lastScreen(), QString("ScanScreens"));

        services = std::make_unique<QProcess>();
        QVERIFY(startServices(*services));
        services->write("card valid type=epurse before=1380 after=1260\n");
        QTRY_COMPARE_WITH_TIMEOUT(program.count(Program::screenLine("Valid")), 2, WaitMs);
        QCOMPARE(program.process().state(), QProcess::Running);
        services->kill();
        services->waitForFinished();
    }

    // A service floods a topic the program hears: the program keeps up and a result still shows.
    void floodingService()
    {
        Bus bus(true);
        QVERIFY(bus.serving());
        MosquittoBroker &broker = bus.broker;
        SimulatorRun &simulator = bus.simulator;
        Program &program = bus.program;
        MqttObserver flooder;
        QVERIFY(flooder.connectTo(broker.host(), broker.port()));
        for (int i = 0; i < 20000; ++i)
            QVERIFY(flooder.publish("velt/inspector/stats/cpu", "{\"usage\":12.5}"));
        QCOMPARE(simulator.execute("card valid type=epurse before=1500 after=1380"), QString());
        QTRY_COMPARE_WITH_TIMEOUT(program.count(Program::screenLine("Valid")), 1, WaitMs);
        QCOMPARE(program.process().state(), QProcess::Running);
    }
};

QTEST_GUILESS_MAIN(ChaosTest)
#include "tst_chaos.moc"
