#include "BrokerClient.h"
#include "Ethernet.h"
#include "IPv4.h"
#include "LogCapture.h"
#include "MetaInterface.h"
#include "Network.h"
#include "SignalRecorder.h"
#include "SimulatorRun.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaProperty>
#include <QTimer>
#include <QtTest>

#include <memory>

using manager::Connection;
using manager::Ethernet;
using manager::MqttClient;
using manager::Network;

namespace {

const QString Base = QStringLiteral("velt/network");
const QString EthernetBase = Base + QStringLiteral("/ethernet");
constexpr int WaitMs = 15000;

const QByteArray FullStatus = R"({"stateStr": "Connected", "connectivityStr": "Full",
    "hostname": "validator-0042", "primaryConnection": {"interface": "eth0",
    "stateStr": "Activated", "typeStr": "ethernet", "ipv4": {"address": "10.0.0.5",
    "netmask": "255.255.255.0", "gateway": "10.0.0.1", "dns0": "10.0.0.1", "dns1": ""}}})";
const QByteArray FullState = R"({"interface": "eth0", "typeStr": "ethernet",
    "stateStr": "Connected", "reasonStr": "None", "mac": "02:00:00:00:00:07",
    "ipv4": {"address": "10.0.0.5", "netmask": "255.255.255.0", "gateway": "10.0.0.1",
    "dns0": "10.0.0.1", "dns1": "8.8.8.8"}})";
const QByteArray FullConfig = R"({"interface": "eth0", "method": "manual",
    "address": "10.0.0.9", "netmask": "255.255.0.0", "gateway": "10.0.0.254",
    "dns0": "1.1.1.1", "dns1": "9.9.9.9"})";

QJsonObject json(const QByteArray &text)
{
    return QJsonDocument::fromJson(text).object();
}

QString compact(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QJsonObject ipv4Of(const IPv4 *ipv4)
{
    return {{"address", ipv4->address()},
            {"netmask", ipv4->mask()},
            {"gateway", ipv4->gateway()},
            {"dns0", ipv4->dns0()},
            {"dns1", ipv4->dns1()}};
}

// Everything the network manager shows, primary connection included, as one comparable text.
QString snapshot(Network &network)
{
    Connection *primary = network.primaryConnection();
    return compact({{"connectionState", network.connectionState()},
                    {"connectivity", network.connectivity()},
                    {"hostname", network.hostname()},
                    {"interface", primary->interface()},
                    {"state", primary->state()},
                    {"type", primary->type()},
                    {"ipv4", ipv4Of(primary->ipv4())}});
}

QString snapshot(Ethernet &ethernet)
{
    return compact({{"interface", ethernet.interface()},
                    {"type", ethernet.type()},
                    {"state", ethernet.state()},
                    {"reason", ethernet.reason()},
                    {"mac", ethernet.mac()},
                    {"method", ethernet.method()},
                    {"ipv4", ipv4Of(ethernet.ipv4())},
                    {"config", ipv4Of(ethernet.config())}});
}

const QJsonObject NoAddresses{
    {"address", ""}, {"netmask", ""}, {"gateway", ""}, {"dns0", ""}, {"dns1", ""}};

QStringList linesStartingWith(const LogCapture &log, const QString &prefix)
{
    QStringList lines;
    for (const QString &line : log.lines()) {
        if (line.startsWith(prefix))
            lines << line;
    }
    return lines;
}

// The managers fed by emitting the shared client's signal; no broker involved.
struct Local
{
    MqttClient mqtt;
    Network network{mqtt, Base};
    Ethernet &ethernet = *network.ethernet();

    void feed(const QString &topic, const QByteArray &payload)
    {
        emit mqtt.received(payload, topic.toUtf8());
    }
    void status(const QByteArray &payload) { feed(Base + "/status", payload); }
    void state(const QByteArray &payload) { feed(EthernetBase + "/state", payload); }
    void config(const QByteArray &payload) { feed(EthernetBase + "/config", payload); }
};

} // namespace

class NetworkTest : public QObject
{
    Q_OBJECT

private slots:
    // The screens bind to these names and types.
    void interface()
    {
        QCOMPARE(propertiesOf(Network::staticMetaObject),
                 QStringList({"QString connectionState connectionStateChanged",
                              "QString connectivity connectivityChanged",
                              "QString hostname hostnameChanged",
                              "manager::Connection* primaryConnection primaryConnectionChanged",
                              "manager::Ethernet* ethernet ethernetChanged"}));
        QCOMPARE(propertiesOf(Connection::staticMetaObject),
                 QStringList({"QString interface interfaceChanged", "QString state stateChanged",
                              "QString type typeChanged", "IPv4* ipv4 ipv4Changed"}));
        QCOMPARE(propertiesOf(Ethernet::staticMetaObject),
                 QStringList({"QString interface interfaceChanged", "QString type typeChanged",
                              "QString state stateChanged", "QString reason reasonChanged",
                              "QString mac macChanged", "QString method methodChanged writable",
                              "IPv4* ipv4 ipv4Changed", "IPv4* config configChanged"}));
        QCOMPARE(
            propertiesOf(IPv4::staticMetaObject),
            QStringList({"QString address addressChanged writable",
                         "QString gateway gatewayChanged writable",
                         "QString mask maskChanged writable", "QString dns0 dns0Changed writable",
                         "QString dns1 dns1Changed writable"}));
    }

    void construction()
    {
        LogCapture log;
        Local local;
        QCOMPARE(local.network.base(), Base);
        QCOMPARE(local.ethernet.base(), EthernetBase);
        QCOMPARE(local.ethernet.parent(), &local.network);
        QCOMPARE(local.network.primaryConnection(), local.network.primaryConnection());
        QCOMPARE(snapshot(local.network), compact({{"connectionState", ""},
                                                   {"connectivity", ""},
                                                   {"hostname", ""},
                                                   {"interface", ""},
                                                   {"state", ""},
                                                   {"type", ""},
                                                   {"ipv4", NoAddresses}}));
        QVERIFY(local.ethernet.ipv4()->toMap().isEmpty());
        QVERIFY(local.ethernet.config()->toMap().isEmpty());
        // The ethernet object is made (and subscribes) before its owner.
        QCOMPARE(log.lines(), QStringList({"[Network][Ethernet] Subscribing to topics",
                                           "[Network] Subscribing to topics"}));
    }

    void status_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QStringList>("signalNames"); // of the network manager
        QTest::addColumn<QStringList>("primarySignals");
        QTest::addColumn<QStringList>("ipv4Signals");

        const QString full = compact({{"connectionState", "Connected"},
                                      {"connectivity", "Full"},
                                      {"hostname", "validator-0042"},
                                      {"interface", "eth0"},
                                      {"state", "Activated"},
                                      {"type", "ethernet"},
                                      {"ipv4", json(R"({"address": "10.0.0.5",
                                          "netmask": "255.255.255.0", "gateway": "10.0.0.1",
                                          "dns0": "10.0.0.1", "dns1": ""})")}});
        const QString cleared = compact({{"connectionState", ""},
                                         {"connectivity", ""},
                                         {"hostname", ""},
                                         {"interface", ""},
                                         {"state", ""},
                                         {"type", ""},
                                         {"ipv4", NoAddresses}});
        const QStringList everyAddress = {"addressChanged", "dns0Changed", "gatewayChanged",
                                          "maskChanged"};
        const QStringList everyPrimary = {"interfaceChanged", "ipv4Changed", "stateChanged",
                                          "typeChanged"};
        const QStringList everyTop = {"connectionStateChanged", "connectivityChanged",
                                      "hostnameChanged", "primaryConnectionChanged"};

        // Each row arrives after FullStatus.
        QTest::newRow("the same again")
            << FullStatus << full << QStringList{"primaryConnectionChanged"} << QStringList()
            << QStringList();
        QTest::newRow("empty message")
            << QByteArray() << cleared << everyTop << everyPrimary << everyAddress;
        QTest::newRow("array") << QByteArray("[1, 2]") << cleared << everyTop << everyPrimary
                               << everyAddress;
        QTest::newRow("no primary connection")
            << QByteArray(R"({"stateStr": "Connected", "connectivityStr": "Full",
                   "hostname": "validator-0042"})")
            << compact({{"connectionState", "Connected"},
                        {"connectivity", "Full"},
                        {"hostname", "validator-0042"},
                        {"interface", ""},
                        {"state", ""},
                        {"type", ""},
                        {"ipv4", NoAddresses}})
            << QStringList{"primaryConnectionChanged"} << everyPrimary << everyAddress;
        QTest::newRow("wrong types")
            << QByteArray(R"({"stateStr": 3, "connectivityStr": ["Full"], "hostname": null,
                   "primaryConnection": {"interface": 5, "stateStr": true, "typeStr": "ethernet",
                   "ipv4": {"address": 10, "netmask": "255.255.255.0", "gateway": "10.0.0.1",
                   "dns0": "10.0.0.1", "dns1": ""}}})")
            // Top-level texts of the wrong type are empty; inside the connection they are
            // converted to text.
            << compact({{"connectionState", ""},
                        {"connectivity", ""},
                        {"hostname", ""},
                        {"interface", "5"},
                        {"state", "true"},
                        {"type", "ethernet"},
                        {"ipv4", json(R"({"address": "10", "netmask": "255.255.255.0",
                            "gateway": "10.0.0.1", "dns0": "10.0.0.1", "dns1": ""})")}})
            << everyTop << QStringList({"interfaceChanged", "ipv4Changed", "stateChanged"})
            << QStringList{"addressChanged"};
        QTest::newRow("primary connection not an object")
            << QByteArray(R"({"stateStr": "Connected", "connectivityStr": "Full",
                   "hostname": "validator-0042", "primaryConnection": "eth0"})")
            << compact({{"connectionState", "Connected"},
                        {"connectivity", "Full"},
                        {"hostname", "validator-0042"},
                        {"interface", ""},
                        {"state", ""},
                        {"type", ""},
                        {"ipv4", NoAddresses}})
            << QStringList{"primaryConnectionChanged"} << everyPrimary << everyAddress;
        // A key beyond the five never compares equal with what is kept: the settings are
        // re-applied and announced, though no field changed.
        QTest::newRow("extra IPv4 key")
            << QByteArray(R"({"stateStr": "Connected", "connectivityStr": "Full",
                   "hostname": "validator-0042", "primaryConnection": {"interface": "eth0",
                   "stateStr": "Activated", "typeStr": "ethernet", "ipv4": {
                   "address": "10.0.0.5", "netmask": "255.255.255.0", "gateway": "10.0.0.1",
                   "dns0": "10.0.0.1", "dns1": "", "prefix": 24}}})")
            << full << QStringList{"primaryConnectionChanged"} << QStringList{"ipv4Changed"}
            << QStringList();
    }

    void status()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QString, expected);
        QFETCH(QStringList, signalNames);
        QFETCH(QStringList, primarySignals);
        QFETCH(QStringList, ipv4Signals);

        Local local;
        local.status(FullStatus);
        SignalRecorder network(&local.network);
        SignalRecorder primary(local.network.primaryConnection());
        SignalRecorder ipv4(local.network.primaryConnection()->ipv4());
        SignalRecorder ethernet(&local.ethernet);
        LogCapture log;
        local.status(payload);

        QCOMPARE(snapshot(local.network), expected);
        QCOMPARE(network.names(), signalNames);
        QCOMPARE(primary.names(), primarySignals);
        QCOMPARE(ipv4.names(), ipv4Signals);
        QCOMPARE(ethernet.names(), QStringList());
        QCOMPARE(log.lines(), QStringList{"[Network] Processing status topic velt/network/status"});
    }

    void firstStatus()
    {
        Local local;
        SignalRecorder network(&local.network);
        local.status(FullStatus);
        QCOMPARE(network.names(), QStringList({"connectionStateChanged", "connectivityChanged",
                                               "hostnameChanged", "primaryConnectionChanged"}));
        QCOMPARE(
            local.network.primaryConnection()->ipv4()->toMap(),
            json(FullStatus)["primaryConnection"].toObject()["ipv4"].toObject().toVariantMap());
    }

    void info()
    {
        Local local;
        local.status(FullStatus);
        const QString before = snapshot(local.network);
        SignalRecorder network(&local.network);
        LogCapture log;
        local.feed(Base + "/info", R"({"service": {"version": "2.1.4"}})");
        local.feed(Base + "/info", QByteArray());
        QCOMPARE(log.lines(), QStringList({"[Network] Processing info topic velt/network/info",
                                           "[Network] Processing info topic velt/network/info"}));
        QCOMPARE(snapshot(local.network), before);
        QCOMPARE(network.names(), QStringList());
    }

    void state_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QJsonObject>("changes"); // against FullState
        QTest::addColumn<QStringList>("signalNames");

        const QStringList everyField = {"interfaceChanged", "ipv4Changed",  "macChanged",
                                        "reasonChanged",    "stateChanged", "typeChanged"};
        const QJsonObject cleared{{"interface", ""}, {"type", ""}, {"state", ""},
                                  {"reason", ""},    {"mac", ""},  {"ipv4", NoAddresses}};

        QTest::newRow("the same again") << FullState << QJsonObject() << QStringList();
        QTest::newRow("usb0 changes nothing")
            << QByteArray(R"({"interface": "usb0", "typeStr": "gadget", "stateStr": "Down",
                   "mac": "aa", "ipv4": {}})")
            << QJsonObject() << QStringList();
        QTest::newRow("USB0 is another name")
            << QByteArray(R"({"interface": "USB0"})")
            << QJsonObject{{"interface", "USB0"}, {"type", ""}, {"state", ""},
                           {"reason", ""},        {"mac", ""},  {"ipv4", NoAddresses}}
            << everyField;
        QTest::newRow("empty message") << QByteArray() << cleared << everyField;
        QTest::newRow("array") << QByteArray("[]") << cleared << everyField;
        QTest::newRow("unplugged") << QByteArray(R"({"interface": "eth0", "typeStr": "ethernet",
                   "stateStr": "Disconnected", "reasonStr": "Carrier changed",
                   "mac": "02:00:00:00:00:07"})")
                                   << QJsonObject{{"state", "Disconnected"},
                                                  {"reason", "Carrier changed"},
                                                  {"ipv4", NoAddresses}}
                                   << QStringList({"ipv4Changed", "reasonChanged", "stateChanged"});
        QTest::newRow("wrong types")
            << QByteArray(R"({"interface": "eth0", "typeStr": 1, "stateStr": null,
                   "reasonStr": {}, "mac": ["02"], "ipv4": {"address": 167772165,
                   "netmask": "255.255.255.0", "gateway": "10.0.0.1", "dns0": "10.0.0.1",
                   "dns1": "8.8.8.8"}})")
            << QJsonObject{{"type", ""},
                           {"state", ""},
                           {"reason", ""},
                           {"mac", ""},
                           {"ipv4", json(R"({"address": "167772165", "netmask": "255.255.255.0",
                               "gateway": "10.0.0.1", "dns0": "10.0.0.1", "dns1": "8.8.8.8"})")}}
            << QStringList(
                   {"ipv4Changed", "macChanged", "reasonChanged", "stateChanged", "typeChanged"});
    }

    void state()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QJsonObject, changes);
        QFETCH(QStringList, signalNames);

        Local local;
        local.state(FullState);
        QJsonObject expected = json(snapshot(local.ethernet).toUtf8());
        for (auto it = changes.constBegin(); it != changes.constEnd(); ++it)
            expected.insert(it.key(), it.value());
        SignalRecorder recorder(&local.ethernet);
        LogCapture log;
        local.state(payload);
        QCOMPARE(snapshot(local.ethernet), compact(expected));
        QCOMPARE(recorder.names(), signalNames);
        QCOMPARE(log.lines().value(0),
                 QString("[Network][Ethernet] Processing state topic velt/network/ethernet/state"));
        // One line per change, each naming its field.
        QCOMPARE(log.lines().size(), 1 + signalNames.size());
    }

    void stateLogLines()
    {
        Local local;
        LogCapture log;
        local.state(FullState);
        const QStringList lines = linesStartingWith(log, "[Network][Ethernet] ");
        QCOMPARE(lines.mid(0, 6),
                 QStringList({"[Network][Ethernet] Processing state topic "
                              "velt/network/ethernet/state",
                              "[Network][Ethernet] Interface changed : eth0",
                              "[Network][Ethernet] Type changed : ethernet",
                              "[Network][Ethernet] State changed : Connected",
                              "[Network][Ethernet] Reason changed : None",
                              "[Network][Ethernet] MAC changed : 02:00:00:00:00:07"}));
        QVERIFY(lines.value(6).startsWith("[Network][Ethernet] IPv4 changed : QMap("));
        QVERIFY(lines.value(6).contains("10.0.0.5"));
    }

    void config_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("method");
        QTest::addColumn<QJsonObject>("config");
        QTest::addColumn<QStringList>("signalNames");

        const QJsonObject full = json(R"({"address": "10.0.0.9", "netmask": "255.255.0.0",
            "gateway": "10.0.0.254", "dns0": "1.1.1.1", "dns1": "9.9.9.9"})");
        // Each row arrives after FullConfig. A message that names its interface or method
        // never compares equal with the five addresses kept, so it is always announced.
        QTest::newRow("the same again")
            << FullConfig << "manual" << full << QStringList{"configChanged"};
        QTest::newRow("usb0 changes nothing")
            << QByteArray(R"({"interface": "usb0", "method": "auto", "address": ""})") << "manual"
            << full << QStringList();
        QTest::newRow("to auto") << QByteArray(
                                        R"({"interface": "eth0", "method": "auto", "address": "",
                   "netmask": "", "gateway": "", "dns0": "", "dns1": ""})")
                                 << "auto" << NoAddresses
                                 << QStringList({"configChanged", "methodChanged"});
        QTest::newRow("empty message")
            << QByteArray() << "" << NoAddresses << QStringList({"configChanged", "methodChanged"});
        QTest::newRow("only the addresses, unchanged")
            << QByteArray(R"({"address": "10.0.0.9", "netmask": "255.255.0.0",
                   "gateway": "10.0.0.254", "dns0": "1.1.1.1", "dns1": "9.9.9.9"})")
            << "" << full << QStringList{"methodChanged"};
        QTest::newRow("wrong types")
            << QByteArray(R"({"interface": "eth0", "method": 1, "address": 5, "netmask": null,
                   "gateway": ["x"], "dns0": true, "dns1": "9.9.9.9"})")
            << ""
            << QJsonObject{{"address", "5"},
                           {"netmask", ""},
                           {"gateway", ""},
                           {"dns0", "true"},
                           {"dns1", "9.9.9.9"}}
            << QStringList({"configChanged", "methodChanged"});
    }

    void config()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QString, method);
        QFETCH(QJsonObject, config);
        QFETCH(QStringList, signalNames);

        Local local;
        local.config(FullConfig);
        SignalRecorder recorder(&local.ethernet);
        local.config(payload);
        QCOMPARE(local.ethernet.method(), method);
        QCOMPARE(ipv4Of(local.ethernet.config()), config);
        QCOMPARE(recorder.names(), signalNames);
        // The addresses in use are another matter.
        QVERIFY(local.ethernet.ipv4()->toMap().isEmpty());
    }

    void emptyTextOnAMissingKey()
    {
        IPv4 ipv4;
        SignalRecorder recorder(&ipv4);
        ipv4.setAddress(QString());
        ipv4.setDns1(QStringLiteral(""));
        QCOMPARE(recorder.names(), QStringList());
        QCOMPARE(ipv4.toMap(), QVariantMap({{"address", QString()}, {"dns1", QString()}}));
        // Which still equals the same settings read from JSON.
        QCOMPARE(ipv4.toMap(), json(R"({"address": "", "dns1": ""})").toVariantMap());

        ipv4.setAddress("10.0.0.1");
        ipv4.setAddress("10.0.0.1");
        ipv4.fromMap({{"address", "10.0.0.1"}, {"netmask", "255.0.0.0"}, {"prefix", 8}});
        QCOMPARE(recorder.names(), QStringList({"addressChanged", "maskChanged"}));
        QVERIFY(!ipv4.toMap().contains("prefix"));
    }

    void setMethod()
    {
        Local local;
        SignalRecorder recorder(&local.ethernet);
        LogCapture log;
        local.ethernet.setMethod("auto");
        local.ethernet.setMethod("auto");
        QCOMPARE(recorder.names(), QStringList{"methodChanged"});
        QCOMPARE(log.lines(), QStringList{"[Network][Ethernet] Method changed : auto"});
    }

    void parseFailures_data()
    {
        QTest::addColumn<QString>("topic");
        QTest::addColumn<QStringList>("lines");

        const QString network = "[Network] Failed to parse JSON message: ";
        const QString ethernet = "[Network][Ethernet] Failed to parse JSON message: ";
        QTest::newRow("status") << Base + "/status" << QStringList{network};
        QTest::newRow("info") << Base + "/info" << QStringList{network};
        // The interface's topics are under the network's base: both managers parse them.
        QTest::newRow("ethernet state")
            << EthernetBase + "/state" << QStringList({network, ethernet});
        QTest::newRow("ethernet config")
            << EthernetBase + "/config" << QStringList({network, ethernet});
        QTest::newRow("base in the middle") << "site/velt/network/status" << QStringList{network};
    }

    void parseFailures()
    {
        QFETCH(QString, topic);
        QFETCH(QStringList, lines);

        Local local;
        local.status(FullStatus);
        local.state(FullState);
        local.config(FullConfig);
        const QString network = snapshot(local.network);
        const QString ethernet = snapshot(local.ethernet);
        SignalRecorder networkSignals(&local.network);
        SignalRecorder ethernetSignals(&local.ethernet);
        LogCapture log;
        local.feed(topic, R"({"stateStr": "Connected",)");

        QJsonParseError error{};
        QJsonDocument::fromJson(R"({"stateStr": "Connected",)", &error);
        QStringList expected;
        for (const QString &prefix : lines)
            expected << prefix + error.errorString();
        QCOMPARE(log.lines(), expected);
        QCOMPARE(snapshot(local.network), network);
        QCOMPARE(snapshot(local.ethernet), ethernet);
        QCOMPARE(networkSignals.names(), QStringList());
        QCOMPARE(ethernetSignals.names(), QStringList());
    }

    void foreignTopics_data()
    {
        QTest::addColumn<QString>("topic");

        QTest::newRow("another service") << "velt/device/status";
        QTest::newRow("base in the middle") << "site/velt/network/status";
        QTest::newRow("longer base") << "velt/networks/status";
        QTest::newRow("request") << "velt/network/status/get";
        QTest::newRow("ethernet request") << "velt/network/ethernet/state/get";
        QTest::newRow("ethernet without its base") << "velt/network/state";
        QTest::newRow("suffix alone") << "/status";
    }

    void foreignTopics()
    {
        QFETCH(QString, topic);

        Local local;
        SignalRecorder networkSignals(&local.network);
        SignalRecorder ethernetSignals(&local.ethernet);
        LogCapture log;
        local.feed(topic, FullStatus);
        local.feed(topic, FullState);
        QCOMPARE(networkSignals.names(), QStringList());
        QCOMPARE(ethernetSignals.names(), QStringList());
        QCOMPARE(log.lines(), QStringList());
    }

    void monitor()
    {
        Local local;
        QTimer *timer = local.network.findChild<QTimer *>();
        QVERIFY(timer);
        LogCapture log;
        local.network.monitor(0);
        QCOMPARE(log.lines(), QStringList{"[Network] Monitor stopped"});
        log.clear();

        local.network.monitor(500);
        local.network.monitor(2000);
        QCOMPARE(
            log.lines(),
            QStringList({"[Network] Monitor started : 500 msec(s)", "[Network] Refreshing data",
                         "[Network] Monitor started : 2000 msec(s)", "[Network] Refreshing data"}));
        QVERIFY(timer->isActive());
        QVERIFY(!timer->isSingleShot());
        QCOMPARE(timer->interval(), 2000);
        local.network.monitor(0);
        QVERIFY(!timer->isActive());
    }

    void save_data()
    {
        QTest::addColumn<QByteArray>("state"); // before saving; empty for none
        QTest::addColumn<QString>("method");
        QTest::addColumn<QJsonObject>("request");

        const QJsonObject empty{
            {"address", ""}, {"netmask", ""}, {"gateway", ""}, {"dns0", ""}, {"dns1", ""}};
        const auto with = [](QJsonObject object, const QString &interface, const QString &method) {
            object.insert("interface", interface);
            object.insert("method", method);
            return object;
        };
        QTest::newRow("manual")
            << FullState << "manual"
            << with(json(R"({"address": "192.168.7.20", "netmask": "255.255.255.0",
                   "gateway": "", "dns0": "192.168.7.1", "dns1": ""})"),
                    "eth0", "manual");
        QTest::newRow("auto sends no addresses")
            << FullState << "auto" << with(empty, "eth0", "auto");
        QTest::newRow("Manual is not manual")
            << FullState << "Manual" << with(empty, "eth0", "Manual");
        QTest::newRow("no method") << FullState << "" << with(empty, "eth0", "");
        QTest::newRow("before any state")
            << QByteArray() << "manual"
            << with(json(R"({"address": "192.168.7.20", "netmask": "255.255.255.0",
                   "gateway": "", "dns0": "192.168.7.1", "dns1": ""})"),
                    "", "manual");
    }

    // What reaches the broker, and what the manager keeps meanwhile.
    void save()
    {
        QFETCH(QByteArray, state);
        QFETCH(QString, method);
        QFETCH(QJsonObject, request);

        BrokerClient remote;
        QVERIFY(remote.open());
        Network network(remote.mqtt, Base);
        Ethernet &ethernet = *network.ethernet();
        QVERIFY(remote.connectClient());
        QList<MqttObserver::Message> published;
        QVERIFY(remote.drain(published));

        if (!state.isEmpty())
            emit remote.mqtt.received(state, (EthernetBase + "/state").toUtf8());
        ethernet.setMethod(method);
        ethernet.config()->setAddress("192.168.7.20");
        ethernet.config()->setMask("255.255.255.0");
        ethernet.config()->setDns0("192.168.7.1");
        const QString before = snapshot(ethernet);
        LogCapture log;
        ethernet.save();

        QCOMPARE(linesStartingWith(log, "[Network][Ethernet] "),
                 QStringList({"[Network][Ethernet] Saving configuration",
                              "[Network][Ethernet] -------------------------",
                              "[Network][Ethernet] Method  : " + method,
                              "[Network][Ethernet] Address : 192.168.7.20",
                              "[Network][Ethernet] Netmask : 255.255.255.0",
                              "[Network][Ethernet] Gateway : ",
                              "[Network][Ethernet] DNS     : 192.168.7.1, ",
                              "[Network][Ethernet] -------------------------"}));
        QVERIFY(remote.drain(published));
        QCOMPARE(published.size(), 1);
        QCOMPARE(published[0].topic, EthernetBase + "/config/set");
        QCOMPARE(published[0].qos, 0);
        QCOMPARE(published[0].retain, false);
        QCOMPARE(published[0].payload, QJsonDocument(request).toJson());
        QCOMPARE(snapshot(ethernet), before);
    }

    // Subscriptions and the refresh requests, on the first connection and after the broker
    // comes back.
    void requestsOnConnection()
    {
        BrokerClient remote;
        QVERIFY(remote.open());
        remote.mqtt.setClientId("network-under-test");
        Network network(remote.mqtt, Base);
        LogCapture log;
        QVERIFY(remote.connectClient());
        const QStringList subscriptions = {EthernetBase + "/state", EthernetBase + "/config",
                                           Base + "/info", Base + "/status"};
        QTRY_COMPARE_WITH_TIMEOUT(remote.broker.subscriptions("network-under-test"), subscriptions,
                                  WaitMs);
        QList<MqttObserver::Message> published;
        QVERIFY(remote.drain(published));
        QCOMPARE(published.size(), 2);
        QCOMPARE(published[0].topic, EthernetBase + "/state/get");
        QCOMPARE(published[1].topic, EthernetBase + "/config/get");
        for (const auto &message : published) {
            QCOMPARE(message.payload, QByteArray("{}"));
            QCOMPARE(message.qos, 0);
            QCOMPARE(message.retain, false);
        }
        QCOMPARE(log.count("[Network] Refreshing data"), 1);
        QCOMPARE(log.count("[Network][Ethernet] Refreshing data"), 1);

        // The broker logs what the client asks for, across restarts.
        const auto requests = [&] {
            QStringList list = remote.broker.requests("network-under-test");
            list.removeAll("publish tst/mark");
            return list;
        };
        QStringList once;
        for (const QString &topic : subscriptions)
            once << "subscribe " + topic;
        once << "publish " + EthernetBase + "/state/get"
             << "publish " + EthernetBase + "/config/get";
        // The broker writes its log in its own time.
        QTRY_COMPARE_WITH_TIMEOUT(requests(), once, WaitMs);
        remote.broker.stop();
        QVERIFY(remote.broker.start());
        QTRY_COMPARE_WITH_TIMEOUT(requests(), once + once, WaitMs);
        QCOMPARE(log.count("[Network] Refreshing data"), 2);
    }

    // Against the simulated network service: what it reports is shown, and a configuration
    // saved here comes back from it.
    void simulator()
    {
        BrokerClient remote;
        QVERIFY(remote.open());
        SimulatorRun simulator(remote.broker.host(), remote.broker.port());
        Network network(remote.mqtt, Base);
        Ethernet &ethernet = *network.ethernet();
        QVERIFY(remote.connectClient());

        QTRY_COMPARE_WITH_TIMEOUT(network.connectionState(), QString("Connected"), WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(ethernet.state(), QString("Connected"), WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(ethernet.method(), QString("manual"), WaitMs);
        QCOMPARE(network.connectivity(), QString("Full"));
        QCOMPARE(network.primaryConnection()->interface(), QString("eth0"));
        QVERIFY(!ethernet.mac().isEmpty());
        QCOMPARE(ethernet.ipv4()->address(), ethernet.config()->address());

        ethernet.config()->setAddress("192.168.1.77");
        ethernet.config()->setGateway("");
        ethernet.save();
        QTRY_COMPARE_WITH_TIMEOUT(ethernet.ipv4()->address(), QString("192.168.1.77"), WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(network.primaryConnection()->ipv4()->address(),
                                  QString("192.168.1.77"), WaitMs);
        QCOMPARE(ethernet.config()->gateway(), QString());

        ethernet.setMethod("auto");
        ethernet.save();
        QTRY_VERIFY_WITH_TIMEOUT(ethernet.ipv4()->address() != QString("192.168.1.77"), WaitMs);
        QCOMPARE(ethernet.method(), QString("auto"));

        // A laptop on the USB service port is reported on the same topics, and ignored.
        const QString before = snapshot(ethernet);
        {
            LogCapture log;
            QCOMPARE(simulator.execute("network usb0 up"), QString());
            QTRY_COMPARE_WITH_TIMEOUT(log.count("[Network][Ethernet] Processing config topic "
                                                "velt/network/ethernet/config"),
                                      1, WaitMs);
            QCOMPARE(log.count("[Network][Ethernet] Processing state topic "
                               "velt/network/ethernet/state"),
                     1);
            QCOMPARE(snapshot(ethernet), before);
        }

        QCOMPARE(simulator.execute("network ethernet down"), QString());
        QTRY_COMPARE_WITH_TIMEOUT(ethernet.state(), QString("Disconnected"), WaitMs);
        QCOMPARE(ethernet.reason(), QString("Carrier changed"));
        QTRY_COMPARE_WITH_TIMEOUT(network.primaryConnection()->state(), QString("Disconnected"),
                                  WaitMs);
        QCOMPARE(simulator.execute("network connectivity limited"), QString());
        QTRY_COMPARE_WITH_TIMEOUT(network.connectivity(), QString("Limited"), WaitMs);
        QCOMPARE(simulator.execute("network hostname bus-17"), QString());
        QTRY_COMPARE_WITH_TIMEOUT(network.hostname(), QString("bus-17"), WaitMs);
    }
};

QTEST_GUILESS_MAIN(NetworkTest)
#include "tst_network.moc"
