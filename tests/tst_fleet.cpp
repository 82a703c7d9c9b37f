// Two units run from one central broker. Each unit is its own broker, device services and the
// real program; the unit's broker bridges the program's topics to the central broker over TLS,
// signed in as the unit's serial number, with the configuration the fleet bridge generator
// writes. The central broker has a password file and an ACL, as in the field. Requests reach
// only their unit, what a unit publishes while its link is down reaches the central broker when
// the link returns, a dead program or a dead unit is announced, and a unit cannot write into
// another's topics.

#include "MosquittoBroker.h"
#include "MqttObserver.h"
#include "Program.h"
#include "SimulatorRun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <array>
#include <memory>

namespace {

constexpr int WaitMs = 30000;
const QString Generator = QStringLiteral(PERNIX_SOURCE_DIR "/tools/fleet/pernix-fleet-bridge");
const QByteArray Will = QByteArrayLiteral("{\"service\": false}");

struct Result
{
    int exitCode = -1;
    QString output;
};

Result run(const QString &program, const QStringList &args, const QString &dir = QString())
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (!dir.isEmpty())
        process.setWorkingDirectory(dir);
    process.start(program, args);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return {-1, QString::fromUtf8(process.readAll())};
    return {process.exitCode(), QString::fromUtf8(process.readAll())};
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// gui/displayOffMin of each "/config" payload on the topic, in the order received.
QList<int> displayOffMins(const MqttObserver &observer, const QString &topic)
{
    QList<int> values;
    for (const MqttObserver::Message &m : observer.messages(topic))
        values.append(QJsonDocument::fromJson(m.payload)
                          .object()
                          .value("gui")
                          .toObject()
                          .value("displayOffMin")
                          .toInt(-1));
    return values;
}

QByteArray lastPayload(const MqttObserver &observer, const QString &topic)
{
    const auto messages = observer.messages(topic);
    return messages.isEmpty() ? QByteArray() : messages.last().payload;
}

QByteArray displayOffMinSet(int minutes)
{
    return QJsonDocument(QJsonObject{{"gui", QJsonObject{{"displayOffMin", minutes}}}}).toJson();
}

// A unit's network link to the central broker, as a TCP relay in the test: cut() drops its
// connections and refuses new ones, as a lost mobile link does; open() brings it back on the same
// port. Data moves while the test's event loop runs (the QTRY_ waits).
class Link
{
public:
    explicit Link(quint16 target) : m_target(target)
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] { accept(); });
    }

    bool open()
    {
        if (!m_server.listen(QHostAddress::LocalHost, m_port))
            return false;
        m_port = m_server.serverPort();
        return true;
    }

    void cut()
    {
        m_server.close();
        for (const QPointer<QTcpSocket> &socket : qAsConst(m_sockets)) {
            if (socket) {
                socket->abort();
                socket->deleteLater();
            }
        }
        m_sockets.clear();
    }

    quint16 port() const { return m_port; }

private:
    void accept()
    {
        while (QTcpSocket *in = m_server.nextPendingConnection()) {
            QPointer<QTcpSocket> a = in;
            QPointer<QTcpSocket> b = new QTcpSocket(&m_server);
            m_sockets << a << b;
            QObject::connect(a, &QTcpSocket::readyRead, b, [a, b] { b->write(a->readAll()); });
            QObject::connect(b, &QTcpSocket::readyRead, a, [a, b] { a->write(b->readAll()); });
            const auto drop = [a, b] {
                if (a)
                    a->abort();
                if (b)
                    b->abort();
            };
            QObject::connect(a, &QTcpSocket::disconnected, &m_server, drop);
            QObject::connect(b, &QTcpSocket::disconnected, &m_server, drop);
            QObject::connect(b, &QAbstractSocket::errorOccurred, &m_server, drop);
            b->connectToHost(QHostAddress::LocalHost, m_target);
        }
    }

    QTcpServer m_server;
    quint16 m_target;
    quint16 m_port = 0;
    QList<QPointer<QTcpSocket>> m_sockets;
};

// One unit: its files (serial number, bridge password, the generated bridge configuration), its
// broker, its device services and the program.
struct Unit
{
    explicit Unit(const QString &serialNumber)
        : serial(serialNumber), broker({"include_dir " + conf.path()})
    {}

    QString topic(const QString &suffix) const { return "units/" + serial + "/" + suffix; }
    QString clientId() { return "Pernix_" + QString::number(program->process().processId()); }

    QString serial;
    QTemporaryDir conf;
    MosquittoBroker broker;
    std::unique_ptr<SimulatorRun> simulator;
    std::unique_ptr<Program> program;
};

} // namespace

class FleetTest : public QObject
{
    Q_OBJECT

private:
    // The certificates, the central broker's password file and ACL; the central broker with a
    // TLS listener that asks each unit for its certificate.
    void makeCentral()
    {
        QVERIFY(m_pki.isValid());
        const QString dir = m_pki.path();
        const QStringList ec = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                                "-nodes"};
        Result r = run("openssl",
                       QStringList{"req", "-x509"} + ec +
                           QStringList{"-keyout", "ca.key", "-out", "ca.crt", "-days", "2", "-subj",
                                       "/CN=Fleet test CA"},
                       dir);
        QVERIFY2(r.exitCode == 0, qPrintable(r.output));
        QVERIFY(
            writeFile(m_pki.filePath("server.ext"), "subjectAltName=IP:127.0.0.1,DNS:localhost\n"));
        for (const QString &name : {QString("server"), m_serials[0], m_serials[1]}) {
            r = run("openssl",
                    QStringList{"req"} + ec +
                        QStringList{"-keyout", name + ".key", "-out", name + ".csr", "-subj",
                                    "/CN=" + name},
                    dir);
            QVERIFY2(r.exitCode == 0, qPrintable(r.output));
            QStringList sign = {"x509",        "-req",   "-in",    name + ".csr",     "-CA",
                                "ca.crt",      "-CAkey", "ca.key", "-CAcreateserial", "-out",
                                name + ".crt", "-days",  "2"};
            if (name == "server")
                sign << "-extfile"
                     << "server.ext";
            r = run("openssl", sign, dir);
            QVERIFY2(r.exitCode == 0, qPrintable(r.output));
        }

        const QString passwd = m_pki.filePath("passwd");
        r = run("mosquitto_passwd", {"-c", "-b", passwd, "operator", "operator-secret"});
        QVERIFY2(r.exitCode == 0, qPrintable(r.output));
        for (const QString &serial : m_serials) {
            r = run("mosquitto_passwd", {"-b", passwd, serial, "pw-" + serial});
            QVERIFY2(r.exitCode == 0, qPrintable(r.output));
        }
        // The installed example's rules: a unit writes under its own prefix and reads only the
        // requests meant for it; the operator reads and writes every unit's topics.
        QVERIFY(writeFile(m_pki.filePath("acl"), "pattern write units/%u/#\n"
                                                 "pattern read units/%u/velt/ui/+/get\n"
                                                 "pattern read units/%u/velt/ui/config/set\n"
                                                 "user operator\n"
                                                 "topic readwrite units/#\n"));

        m_tlsPort = MosquittoBroker::freePort();
        m_central = std::make_unique<MosquittoBroker>(QStringList{
            "allow_anonymous false", "password_file " + passwd, "acl_file " + m_pki.filePath("acl"),
            "listener " + QString::number(m_tlsPort) + " 127.0.0.1",
            "cafile " + m_pki.filePath("ca.crt"), "certfile " + m_pki.filePath("server.crt"),
            "keyfile " + m_pki.filePath("server.key"), "require_certificate true"});
        QVERIFY(m_central->start());
    }

    // A unit's bridge written by the generator, then its broker, device services and program.
    void startUnit(Unit &unit, quint16 centralPort)
    {
        QVERIFY(unit.conf.isValid());
        const QString serialFile = unit.conf.filePath("serialnumber");
        const QString passwordFile = unit.conf.filePath("central-password");
        QVERIFY(writeFile(serialFile, unit.serial.toUtf8() + "\n"));
        QVERIFY(writeFile(passwordFile, "pw-" + unit.serial.toUtf8() + "\n"));
        const Result r =
            run("bash",
                {Generator, "--central", "127.0.0.1:" + QString::number(centralPort), "--cafile",
                 m_pki.filePath("ca.crt"), "--certfile", m_pki.filePath(unit.serial + ".crt"),
                 "--keyfile", m_pki.filePath(unit.serial + ".key"), "--password-file", passwordFile,
                 "--serial-file", serialFile, "--restart-timeout", "1", "--output",
                 unit.conf.filePath("pernix-fleet.conf")});
        QVERIFY2(r.exitCode == 0, qPrintable(r.output));
        QVERIFY(unit.broker.start());

        unit.simulator = std::make_unique<SimulatorRun>(unit.broker.host(), unit.broker.port());
        QCOMPARE(unit.simulator->execute("ignition on"), QString());
        QCOMPARE(unit.simulator->execute("validator online"), QString());
        unit.program = std::make_unique<Program>(
            QStringList{"--stderr", "--host=127.0.0.1",
                        "--port=" + QString::number(unit.broker.port())},
            QMap<QString, QByteArray>{{"serialnumber", unit.serial.toUtf8()},
                                      {"gui.conf", "[gui]\ndeviceId=serialnumber\n"}});
    }

    // Serving passengers, answering its requests locally, and its bridge subscribed centrally to
    // them: a request from the operator is heard from now on.
    void waitReady(Unit &unit)
    {
        QTRY_COMPARE_WITH_TIMEOUT(unit.program->lastScreen(), QString("ScanScreens"), WaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(
            unit.broker.subscriptions(unit.clientId()).contains("velt/ui/config/set"), WaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(m_central->subscriptions("unit-" + unit.serial)
                                     .contains(unit.topic("velt/ui/config/set")),
                                 WaitMs);
    }

private slots:
    void initTestCase()
    {
        // The helpers stop at their first failed check; so does the set-up.
        makeCentral();
        if (QTest::currentTestFailed())
            return;
        m_link = std::make_unique<Link>(m_tlsPort);
        QVERIFY(m_link->open());
        for (int i = 0; i < 2; ++i) {
            m_units[i] = std::make_unique<Unit>(m_serials[i]);
            // The first unit reaches the central broker through a link the test can cut.
            startUnit(*m_units[i], i == 0 ? m_link->port() : m_tlsPort);
            if (QTest::currentTestFailed())
                return;
        }
        for (auto &unit : m_units) {
            waitReady(*unit);
            if (QTest::currentTestFailed())
                return;
        }
        m_operator.setCredentials("operator", "operator-secret");
        QVERIFY(m_operator.connectTo(m_central->host(), m_central->port(), WaitMs, "units/#"));
        // Both bridges announced themselves (retained on the central broker).
        for (auto &unit : m_units)
            QTRY_COMPARE_WITH_TIMEOUT(lastPayload(m_operator, unit->topic("bridge")),
                                      QByteArray("1"), WaitMs);
    }

    void cleanupTestCase()
    {
        for (auto &unit : m_units)
            unit.reset();
        m_link.reset();
        m_central.reset();
    }

    // What the generator takes and what it refuses: each refusal says why and writes nothing.
    void generator_data()
    {
        QTest::addColumn<QByteArray>("serialNumber");
        QTest::addColumn<bool>("withCa");
        QTest::addColumn<QString>("complaint");
        QTest::newRow("accepted, trimmed") << QByteArray("\n  C00000009 \n") << true << QString();
        QTest::newRow("empty file") << QByteArray() << true << "no serial number";
        QTest::newRow("blank line") << QByteArray("   \n") << true << "no serial number";
        QTest::newRow("wildcard +") << QByteArray("C0+1\n") << true << "not allowed";
        QTest::newRow("wildcard #") << QByteArray("C0#1\n") << true << "not allowed";
        QTest::newRow("separator") << QByteArray("C0/1\n") << true << "not allowed";
        QTest::newRow("space") << QByteArray("C0 1\n") << true << "not allowed";
        QTest::newRow("control character") << QByteArray("C0\x01\x31\n") << true << "not allowed";
        QTest::newRow("CA file missing") << QByteArray("C00000009\n") << false << "CA file";
    }

    void generator()
    {
        QFETCH(QByteArray, serialNumber);
        QFETCH(bool, withCa);
        QFETCH(QString, complaint);
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("serialnumber"), serialNumber));
        QVERIFY(writeFile(dir.filePath("password"), "secret\n"));
        const QString output = dir.filePath("pernix-fleet.conf");
        const Result r = run("bash", {Generator, "--central", "central.example:8883", "--cafile",
                                      withCa ? m_pki.filePath("ca.crt") : dir.filePath("none.crt"),
                                      "--password-file", dir.filePath("password"), "--serial-file",
                                      dir.filePath("serialnumber"), "--output", output});
        if (!complaint.isEmpty()) {
            QVERIFY2(r.exitCode != 0, qPrintable(r.output));
            QVERIFY2(r.output.contains(complaint), qPrintable(r.output));
            QVERIFY(!QFile::exists(output));
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
            return;
        }
        QVERIFY2(r.exitCode == 0, qPrintable(r.output));
        QFile conf(output);
        QVERIFY(conf.open(QIODevice::ReadOnly));
        const QByteArray text = conf.readAll();
        QVERIFY(text.contains("\nremote_username C00000009\n"));
        QVERIFY(text.contains("\nremote_password secret\n"));
        QVERIFY(text.contains("\ntopic config/set in 1 velt/ui/ units/C00000009/velt/ui/\n"));
        // It holds the password: no one but its owner and mosquitto's group reads it.
        QCOMPARE(QFileInfo(output).permissions() &
                     (QFile::ReadOther | QFile::WriteOther | QFile::WriteGroup | QFile::ExeOther),
                 QFile::Permissions());
        // --disable takes it away again.
        QCOMPARE(run("bash", {Generator, "--disable", "--output", output}).exitCode, 0);
        QVERIFY(!QFile::exists(output));
    }

    // A configuration change sent centrally to one unit changes that unit only; both arrived
    // over TLS, each as its own serial number.
    void requestReachesOnlyItsUnit()
    {
        const QString log = m_central->log().join('\n');
        for (auto &unit : m_units)
            QVERIFY2(log.contains(QRegularExpression(
                         "New bridge connected from 127\\.0\\.0\\.1:\\d+ as unit-" + unit->serial +
                         " \\(.*u'" + unit->serial + "'\\)")),
                     qPrintable(log));
        QVERIFY(log.contains(" on port " + QString::number(m_tlsPort) + "."));

        Unit &one = *m_units[0];
        Unit &two = *m_units[1];
        m_operator.clear();
        QVERIFY(m_operator.publish(one.topic("velt/ui/config/set"), displayOffMinSet(17)));
        QTRY_COMPARE_WITH_TIMEOUT(displayOffMins(m_operator, one.topic("velt/ui/config")),
                                  QList<int>{17}, WaitMs);
        QVERIFY(one.program->log().contains("Display OFF interval changed : 17 min(s)"));

        QVERIFY(m_operator.publish(two.topic("velt/ui/config/get"), QByteArray()));
        QTRY_COMPARE_WITH_TIMEOUT(displayOffMins(m_operator, two.topic("velt/ui/config")),
                                  QList<int>{3}, WaitMs);
        QVERIFY(!two.program->log().contains("Display OFF interval changed"));
    }

    // The first unit's link is cut while it keeps working: a validation shows on the unit, and
    // everything the program published meanwhile (two configuration changes made on the unit, a
    // status asked for on the unit) reaches the central broker in order when the link returns;
    // the operator's request sent during the cut is answered then too.
    void linkCutCatchesUp()
    {
        Unit &unit = *m_units[0];
        MqttObserver local("technician");
        QVERIFY(local.connectTo(unit.broker.host(), unit.broker.port()));
        m_operator.clear();

        m_link->cut();
        // Both ends know: the central broker published the bridge's will, the unit's broker
        // its own notice.
        QTRY_COMPARE_WITH_TIMEOUT(lastPayload(m_operator, unit.topic("bridge")), QByteArray("0"),
                                  WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(lastPayload(local, unit.topic("bridge")), QByteArray("0"),
                                  WaitMs);

        const int shown = unit.program->count(Program::screenLine("Valid"));
        QCOMPARE(unit.simulator->execute("card valid type=epurse before=1500 after=1380"),
                 QString());
        QTRY_COMPARE_WITH_TIMEOUT(unit.program->count(Program::screenLine("Valid")), shown + 1,
                                  WaitMs);

        QVERIFY(local.publish("velt/ui/config/set", displayOffMinSet(9)));
        QTRY_COMPARE_WITH_TIMEOUT(displayOffMins(local, "velt/ui/config"), QList<int>{9}, WaitMs);
        QVERIFY(local.publish("velt/ui/config/set", displayOffMinSet(11)));
        QTRY_COMPARE_WITH_TIMEOUT(displayOffMins(local, "velt/ui/config"), (QList<int>{9, 11}),
                                  WaitMs);
        QVERIFY(local.publish("velt/ui/status/get", QByteArray()));
        QTRY_COMPARE_WITH_TIMEOUT(local.messages("velt/ui/status").size(), 1, WaitMs);
        // Kept by the central broker for the unit's lasting session.
        QVERIFY(m_operator.publish(unit.topic("velt/ui/info/get"), QByteArray()));
        QVERIFY(m_operator.messages(unit.topic("velt/ui/config")).isEmpty());

        QVERIFY(m_link->open());
        QTRY_COMPARE_WITH_TIMEOUT(lastPayload(m_operator, unit.topic("bridge")), QByteArray("1"),
                                  WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(displayOffMins(m_operator, unit.topic("velt/ui/config")),
                                  (QList<int>{9, 11}), WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(m_operator.messages(unit.topic("velt/ui/status")).size(), 1,
                                  WaitMs);
        QCOMPARE(m_operator.messages(unit.topic("velt/ui/status")).first().payload,
                 local.messages("velt/ui/status").first().payload);
        QTRY_COMPARE_WITH_TIMEOUT(m_operator.messages(unit.topic("velt/ui/info")).size(), 1,
                                  WaitMs);
    }

    // A unit's credentials open its own topics only: what it writes into another unit's topics
    // is dropped, and it reads none of them (not the configuration with its password and PIN).
    void unitCannotReachAnother()
    {
        Unit &one = *m_units[0];
        Unit &two = *m_units[1];
        MqttObserver intruder("intruder");
        intruder.setCredentials(one.serial, "pw-" + one.serial);
        QVERIFY(intruder.connectTo(m_central->host(), m_central->port(), WaitMs,
                                   "units/" + two.serial + "/#"));
        m_operator.clear();

        QVERIFY(intruder.publish(two.topic("velt/ui/config/set"), displayOffMinSet(42)));
        QVERIFY(intruder.publish(two.topic("velt/ui/status"), Will));
        // Its own prefix stays open, and its answer tells that the central broker has handled
        // what came before it.
        QVERIFY(intruder.publish(one.topic("velt/ui/status/get"), QByteArray()));
        QTRY_COMPARE_WITH_TIMEOUT(m_operator.messages(one.topic("velt/ui/status")).size(), 1,
                                  WaitMs);
        QVERIFY(m_operator.messages(two.topic("velt/ui/status")).isEmpty());

        // Anything passed to the second unit would be there before the answer to this.
        QVERIFY(m_operator.publish(two.topic("velt/ui/config/get"), QByteArray()));
        QTRY_COMPARE_WITH_TIMEOUT(displayOffMins(m_operator, two.topic("velt/ui/config")),
                                  QList<int>{3}, WaitMs);
        QVERIFY(!two.program->log().contains("Display OFF interval changed"));
        QVERIFY(intruder.messages().isEmpty());
        // Refused by the ACL, not lost on the way.
        const QString denied = m_central->log().filter("Denied PUBLISH from intruder (").join('\n');
        QVERIFY2(denied.contains("'" + two.topic("velt/ui/config/set") + "'"), qPrintable(denied));
        QVERIFY2(denied.contains("'" + two.topic("velt/ui/status") + "'"), qPrintable(denied));
    }

    // The second unit's program dies: its will reaches the central broker. Then its whole
    // broker dies (a power cut): the central broker publishes the bridge's "0". Both stay there
    // for whoever looks later; the first unit is untouched.
    void deadUnitIsAnnounced()
    {
        Unit &two = *m_units[1];
        m_operator.clear();
        two.program->process().kill();
        QVERIFY(two.program->process().waitForFinished(WaitMs));
        QTRY_COMPARE_WITH_TIMEOUT(lastPayload(m_operator, two.topic("velt/ui/status")), Will,
                                  WaitMs);

        two.broker.kill();
        QTRY_COMPARE_WITH_TIMEOUT(lastPayload(m_operator, two.topic("bridge")), QByteArray("0"),
                                  WaitMs);

        MqttObserver later("operator-later");
        later.setCredentials("operator", "operator-secret");
        QVERIFY(later.connectTo(m_central->host(), m_central->port(), WaitMs, "units/#"));
        QTRY_COMPARE_WITH_TIMEOUT(lastPayload(later, two.topic("bridge")), QByteArray("0"), WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(lastPayload(later, two.topic("velt/ui/status")), Will, WaitMs);
        QVERIFY(later.messages(two.topic("velt/ui/status")).last().retain);
        QTRY_COMPARE_WITH_TIMEOUT(lastPayload(later, m_units[0]->topic("bridge")), QByteArray("1"),
                                  WaitMs);
        QVERIFY(m_operator.messages(m_units[0]->topic("bridge")).isEmpty());
    }

private:
    QTemporaryDir m_pki;
    const std::array<QString, 2> m_serials{{"C00000001", "C00000002"}};
    quint16 m_tlsPort = 0;
    std::unique_ptr<MosquittoBroker> m_central;
    std::unique_ptr<Link> m_link;
    std::array<std::unique_ptr<Unit>, 2> m_units;
    MqttObserver m_operator{"operator"};
};

QTEST_GUILESS_MAIN(FleetTest)
#include "tst_fleet.moc"
