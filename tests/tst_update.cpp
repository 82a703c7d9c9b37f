#include "BrokerClient.h"
#include "LogCapture.h"
#include "MetaInterface.h"
#include "MosquittoBroker.h"
#include "MqttClient.h"
#include "MqttObserver.h"
#include "SignalRecorder.h"
#include "SimulatorRun.h"
#include "Update.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QSignalSpy>
#include <QtTest>

#include <memory>
#include <vector>

using manager::MqttClient;
using manager::Update;

namespace {

constexpr int WaitMs = 15000;
const QString Base = QStringLiteral("velt/device");

const QString Disconnected = QStringLiteral("Disconnected");
const QString Checking = QStringLiteral("Checking for updates");
const QString Ready = QStringLiteral("Ready to install");
const QString NoPending = QStringLiteral("No pending updates");
const QString Downloading = QStringLiteral("Downloading");
const QString Installing = QStringLiteral("Installing");

const QString TimeoutLine = QStringLiteral("[Update] No pedning updates");

QString topic(const QString &suffix)
{
    return Base + suffix;
}

QString compact(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

// Everything the manager shows, as one comparable text.
QString snapshot(const Update &update)
{
    return compact(QJsonObject::fromVariantMap({
        {"status", update.status()},
        {"current", update.current()},
        {"pending", update.pending()},
        {"progressMessage", update.progressMessage()},
        {"progressPercent", update.progressPercent()},
    }));
}

QString withChanges(const QString &before, const QVariantMap &changes)
{
    QJsonObject object = QJsonDocument::fromJson(before.toUtf8()).object();
    for (auto it = changes.constBegin(); it != changes.constEnd(); ++it)
        object.insert(it.key(), QJsonValue::fromVariant(it.value()));
    return compact(object);
}

// The notifications a change of these properties must bring, one each, sorted.
QStringList notificationsFor(const QString &before, const QString &after)
{
    const QJsonObject a = QJsonDocument::fromJson(before.toUtf8()).object();
    const QJsonObject b = QJsonDocument::fromJson(after.toUtf8()).object();
    QStringList names;
    for (const QString &key : a.keys()) {
        if (a.value(key) != b.value(key))
            names << key + "Changed";
    }
    names.sort();
    return names;
}

// This manager's lines only: the client logs its traffic too.
QStringList updateLines(const LogCapture &log)
{
    QStringList lines;
    for (const QString &line : log.lines()) {
        if (line.startsWith("[Update] "))
            lines.append(line);
    }
    return lines;
}

// The parser's own wording, as the critical line must repeat it.
QString parseErrorLine(const QByteArray &payload)
{
    QJsonParseError error{};
    QJsonDocument::fromJson(payload, &error);
    return QStringLiteral("[Update] Failed to parse JSON message: ") + error.errorString();
}

// A manager fed by emitting the shared client's signal; no broker involved.
struct Local
{
    MqttClient mqtt;
    Update update{mqtt, Base};

    void feed(const QString &suffix, const QByteArray &payload)
    {
        emit mqtt.received(payload, topic(suffix).toUtf8());
    }

    // Mid-download of 1.1.0 over 1.0.0.
    void populate()
    {
        feed("/update/software/status", R"({"current": "1.0.0", "pending": "1.1.0"})");
        feed("/update/software/progress",
             R"({"message": "Downloading 3/24 MB", "progress": 12, "version": "1.1.0"})");
    }
};

} // namespace

class UpdateTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<BrokerClient> m_remote;

private slots:
    void initTestCase()
    {
        m_remote = std::make_unique<BrokerClient>();
        QVERIFY(m_remote->open());
        QVERIFY(m_remote->connectClient());
    }

    void cleanupTestCase() { m_remote.reset(); }

    void interface()
    {
        QCOMPARE(propertiesOf(Update::staticMetaObject),
                 QStringList({
                     "QString status statusChanged",
                     "QString current currentChanged",
                     "QString pending pendingChanged",
                     "QString progressMessage progressMessageChanged",
                     "int progressPercent progressPercentChanged",
                 }));

        QCOMPARE(signalsOf(Update::staticMetaObject),
                 QStringList({"statusChanged()", "currentChanged()", "pendingChanged()",
                              "progressMessageChanged()", "progressPercentChanged()",
                              "checkFinished()", "installFinished()"}));
    }

    void initialState()
    {
        LogCapture log;
        Local local;
        QCOMPARE(local.update.base(), Base);
        QCOMPARE(snapshot(local.update), compact({{"status", Disconnected},
                                                  {"current", ""},
                                                  {"pending", ""},
                                                  {"progressMessage", ""},
                                                  {"progressPercent", 0}}));
        QVERIFY(log.lines().isEmpty());
    }

    void connection()
    {
        BrokerClient remote;
        QVERIFY(remote.open());
        Update update(remote.mqtt, Base);
        remote.mqtt.setClientId("tst_update");
        QVERIFY(remote.connectClient());

        // The subscriptions first, so that the answer to the request cannot be missed.
        const QStringList requests = {
            "subscribe " + topic("/status"),
            "subscribe " + topic("/update/software/status"),
            "subscribe " + topic("/update/software/progress"),
            "subscribe " + topic("/update/software/progess"),
            "publish " + topic("/status/get"),
        };
        QTRY_COMPARE_WITH_TIMEOUT(remote.broker.requests("tst_update"), requests, WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(remote.observer.messages(topic("/status/get")).size(), 1, WaitMs);
        const MqttObserver::Message request =
            remote.observer.messages(topic("/status/get")).first();
        QCOMPARE(request.payload, QByteArray());
        QCOMPARE(request.qos, 0);
        QCOMPARE(request.retain, false);

        // A connection alone tells nothing about the update: the status waits for the device.
        QCOMPARE(update.status(), Disconnected);
        QVERIFY(remote.observer.publish(
            topic("/status"), R"({"update": {"software": {"current": "1.0.0", "pending": ""}}})"));
        QTRY_COMPARE_WITH_TIMEOUT(update.status(), NoPending, WaitMs);

        QSignalSpy connected(&remote.mqtt, &MqttClient::connected);
        remote.broker.stop();
        QTRY_COMPARE_WITH_TIMEOUT(update.status(), Disconnected, WaitMs);
        // Every connection asks again.
        QVERIFY(remote.broker.start());
        QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 1, WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(remote.broker.requests("tst_update"), requests + requests,
                                  WaitMs);
    }

    void requests_data()
    {
        QTest::addColumn<QString>("pending");
        QTest::addColumn<QByteArray>("method"); // invoked as QML does
        QTest::addColumn<QString>("sent");      // empty: nothing published
        QTest::addColumn<QString>("logLine");   // empty: nothing logged
        QTest::addColumn<QString>("status");

        QTest::newRow("check") << "" << QByteArray("check") << "/software/check"
                               << "[Update] Checking for updates" << Checking;
        QTest::newRow("check with a pending version")
            << "1.1.0" << QByteArray("check") << "/software/check"
            << "[Update] Checking for updates" << Checking;
        // The status moves only with the service's progress reports.
        QTest::newRow("install") << "1.1.0" << QByteArray("install") << "/update/software/install"
                                 << "[Update] Installing pending update : 1.1.0" << Ready;
        QTest::newRow("install without a pending version")
            << "" << QByteArray("install") << ""
            << "[Update] WARN: Cannot install. There are no pending versions" << NoPending;
        QTest::newRow("refresh") << "1.1.0" << QByteArray("refresh") << "/status/get"
                                 << "" << Ready;
    }

    void requests()
    {
        QFETCH(QString, pending);
        QFETCH(QByteArray, method);
        QFETCH(QString, sent);
        QFETCH(QString, logLine);
        QFETCH(QString, status);
        Update update(m_remote->mqtt, Base);
        const QJsonObject software{{"current", "1.0.0"}, {"pending", pending}};
        emit m_remote->mqtt.received(
            QJsonDocument(QJsonObject{{"update", QJsonObject{{"software", software}}}}).toJson(),
            topic("/status").toUtf8());
        QList<MqttObserver::Message> messages;
        QVERIFY(m_remote->drain(messages));

        LogCapture log;
        QVERIFY(QMetaObject::invokeMethod(&update, method.constData()));
        QVERIFY(m_remote->drain(messages));
        if (sent.isEmpty()) {
            QCOMPARE(messages.size(), 0);
        } else {
            QCOMPARE(messages.size(), 1);
            QCOMPARE(messages.at(0).topic, topic(sent));
            QCOMPARE(messages.at(0).payload, QByteArray());
            QCOMPARE(messages.at(0).qos, 0);
            QCOMPARE(messages.at(0).retain, false);
        }
        QCOMPARE(updateLines(log), logLine.isEmpty() ? QStringList() : QStringList{logLine});
        QCOMPARE(update.status(), status);
        QCOMPARE(update.pending(), pending);
    }

    // The check time-out, its repetition, and the progress reports (on either topic) that end it.
    void checkTimesOut()
    {
        Local viaProgress;
        Local viaProgess;
        Local cutOff;
        Local local;
        LogCapture log;

        // A check the connection drops under: nothing can answer it, and the time-out must not
        // cover up that the service is out of reach.
        cutOff.feed("/update/software/status", R"({"current": "1.0.0", "pending": "1.1.0"})");
        cutOff.update.check();
        emit cutOff.mqtt.disconnected();
        QCOMPARE(cutOff.update.status(), Disconnected);

        viaProgress.update.check();
        viaProgess.update.check();
        viaProgress.feed(
            "/update/software/progress",
            R"({"message": "Downloading 3/24 MB", "progress": 12, "version": "1.1.0"})");
        viaProgess.feed(
            "/update/software/progess",
            R"({"message": "Downloading 3/24 MB", "progress": 12, "version": "1.1.0"})");

        QElapsedTimer elapsed;
        elapsed.start();
        local.update.check();
        QCOMPARE(local.update.status(), Checking);

        // No answer: after the time-out the status falls back to what is known.
        QTRY_COMPARE_WITH_TIMEOUT(local.update.status(), NoPending, WaitMs);
        // A lower bound only: the time-out cannot end early.
        QVERIFY2(elapsed.elapsed() >= 4500, qPrintable(QString::number(elapsed.elapsed())));
        QCOMPARE(log.count(TimeoutLine), 1);
        QCOMPARE(log.count("[Update] Checking for updates"), 4);

        // The software status does not touch the status; the next time-out reads the version.
        local.feed("/update/software/status", R"({"current": "1.0.0", "pending": "1.1.0"})");
        QCOMPARE(local.update.status(), NoPending);
        QTRY_COMPARE_WITH_TIMEOUT(local.update.status(), Ready, WaitMs);
        QCOMPARE(log.count(TimeoutLine), 2);
        QCOMPARE(cutOff.update.status(), Disconnected);

        // Both would have timed out twice by now, had their first progress report not ended it.
        QCOMPARE(viaProgress.update.status(), Downloading);
        QCOMPARE(viaProgess.update.status(), Downloading);
    }

    void deviceStatus_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QVariantMap>("changes");

        // Each row starts mid-download of 1.1.0 over 1.0.0. A status report always ends the
        // progress.
        const QVariantMap idle = {{"progressMessage", "Idle"}, {"progressPercent", 0}};
        auto with = [&idle](const QVariantMap &more) {
            QVariantMap map = idle;
            for (auto it = more.constBegin(); it != more.constEnd(); ++it)
                map.insert(it.key(), it.value());
            return map;
        };

        QTest::newRow("object, installed")
            << QByteArray(R"({"update": {"state": "idle",
                                         "software": {"current": "1.1.0", "pending": ""}},
                              "clock": {"ntp": {"enabled": true, "synced": true}}})")
            << with({{"current", "1.1.0"}, {"pending", ""}, {"status", NoPending}});
        QTest::newRow("object, another pending")
            << QByteArray(R"({"update": {"software": {"current": "1.0.0", "pending": "1.2.0"}}})")
            << with({{"pending", "1.2.0"}, {"status", Ready}});
        QTest::newRow("object, missing pending")
            << QByteArray(R"({"update": {"software": {"current": "1.0.0"}}})")
            << with({{"pending", ""}, {"status", NoPending}});
        // The older form: only the installed version, the pending one stays.
        QTest::newRow("plain string") << QByteArray(R"({"update": {"software": "1.0.5"}})")
                                      << with({{"current", "1.0.5"}, {"status", Ready}});
        QTest::newRow("plain string, empty") << QByteArray(R"({"update": {"software": ""}})")
                                             << with({{"current", ""}, {"status", Ready}});
        QTest::newRow("empty payload") << QByteArray() << with({{"status", Ready}});
        QTest::newRow("empty object") << QByteArray("{}") << with({{"status", Ready}});
    }

    void deviceStatus()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QVariantMap, changes);
        Local local;
        local.populate();
        QCOMPARE(local.update.status(), Downloading);
        const QString before = snapshot(local.update);

        SignalRecorder recorder(&local.update);
        LogCapture log;
        local.feed("/status", payload);
        const QString after = withChanges(before, changes);
        QCOMPARE(snapshot(local.update), after);
        QCOMPARE(recorder.names(), notificationsFor(before, after));
        QVERIFY(log.lines().isEmpty());

        // The same report again changes nothing more.
        local.feed("/status", payload);
        QCOMPARE(recorder.names(), notificationsFor(before, after));
    }

    void progress_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("percent");
        QTest::addColumn<QString>("pending");

        for (const QString suffix : {"/update/software/progress", "/update/software/progess"}) {
            const QString name = suffix.mid(suffix.lastIndexOf('/') + 1) + ": ";
            QTest::newRow(qPrintable(name + "download"))
                << suffix << QByteArray(R"({"message": "Downloading 8/24 MB", "progress": 16,
                                  "version": "1.1.0"})")
                << Downloading << "Downloading 8/24 MB" << 16 << "1.1.0";
            QTest::newRow(qPrintable(name + "bare slash"))
                << suffix << QByteArray(R"({"message": "/", "progress": 1, "version": "1.1.0"})")
                << Downloading << "/" << 1 << "1.1.0";
            QTest::newRow(qPrintable(name + "install step"))
                << suffix << QByteArray(R"({"message": "Writing root file system", "progress": 75,
                                  "version": "1.1.0"})")
                << Installing << "Writing root file system" << 75 << "1.1.0";
            QTest::newRow(qPrintable(name + "complete"))
                << suffix << QByteArray(R"({"message": "Installation complete", "progress": 100,
                                  "version": "1.1.0"})")
                << Installing << "Installation complete" << 100 << "1.1.0";
            QTest::newRow(qPrintable(name + "another version"))
                << suffix << QByteArray(R"({"message": "Downloading 1/30 MB", "progress": 2,
                                  "version": "1.2.0"})")
                << Downloading << "Downloading 1/30 MB" << 2 << "1.2.0";
            QTest::newRow(qPrintable(name + "no version"))
                << suffix << QByteArray(R"({"message": "Verifying image", "progress": 60})")
                << Installing << "Verifying image" << 60 << "";
        }
    }

    void progress()
    {
        QFETCH(QString, suffix);
        QFETCH(QByteArray, payload);
        QFETCH(QString, status);
        QFETCH(QString, message);
        QFETCH(int, percent);
        QFETCH(QString, pending);
        Local local;
        local.feed("/update/software/status", R"({"current": "1.0.0", "pending": "1.1.0"})");
        local.feed("/status", "");
        QCOMPARE(local.update.status(), Ready);

        LogCapture log;
        local.feed(suffix, payload);
        QCOMPARE(local.update.status(), status);
        QCOMPARE(local.update.progressMessage(), message);
        QCOMPARE(local.update.progressPercent(), percent);
        QCOMPARE(local.update.pending(), pending);
        QCOMPARE(local.update.current(), QString("1.0.0"));
        QVERIFY(log.lines().isEmpty());
    }

    void badInput_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("critical");
        QTest::addColumn<QVariantMap>("changes");

        // Each row starts mid-download of 1.1.0 over 1.0.0 ("Downloading 3/24 MB", 12 %).
        const QByteArray garbage("software=1.2 \x01\xff");
        const QByteArray truncated(R"({"update": {"software": "1.2.0")");
        const QByteArray array(R"([{"update": {"software": "1.2.0"}}, {"progress": 50}])");
        // A status report ends the progress even when it says nothing readable.
        const QVariantMap reset = {
            {"status", Ready}, {"progressMessage", "Idle"}, {"progressPercent", 0}};
        const QVariantMap resetNoVersions = {{"status", NoPending},
                                             {"current", ""},
                                             {"pending", ""},
                                             {"progressMessage", "Idle"},
                                             {"progressPercent", 0}};
        const QVariantMap noVersions = {{"current", ""}, {"pending", ""}};

        QTest::newRow("status: garbage") << "/status" << garbage << true << QVariantMap();
        QTest::newRow("status: truncated") << "/status" << truncated << true << QVariantMap();
        // Not a document to this parser: only objects and arrays are.
        QTest::newRow("status: bare string")
            << "/status" << QByteArray(R"("1.2.0")") << true << QVariantMap();
        QTest::newRow("status: array") << "/status" << array << false << reset;
        QTest::newRow("status: update as text")
            << "/status" << QByteArray(R"({"update": "1.2.0"})") << false << reset;
        QTest::newRow("status: software as number")
            << "/status" << QByteArray(R"({"update": {"software": 1.2}})") << false << reset;
        QTest::newRow("status: software as array")
            << "/status" << QByteArray(R"({"update": {"software": ["1.2.0"]}})") << false << reset;
        QTest::newRow("status: software null")
            << "/status" << QByteArray(R"({"update": {"software": null}})") << false << reset;
        QTest::newRow("status: versions of wrong types")
            << "/status"
            << QByteArray(R"({"update": {"software": {"current": 1, "pending": ["1.2.0"]}}})")
            << false << resetNoVersions;
        QTest::newRow("status: versions missing")
            << "/status" << QByteArray(R"({"update": {"software": {}}})") << false
            << resetNoVersions;

        QTest::newRow("software status: garbage")
            << "/update/software/status" << garbage << true << QVariantMap();
        QTest::newRow("software status: array")
            << "/update/software/status" << array << false << noVersions;
        QTest::newRow("software status: wrong types")
            << "/update/software/status" << QByteArray(R"({"current": 1.1, "pending": true})")
            << false << noVersions;
        QTest::newRow("software status: missing keys")
            << "/update/software/status" << QByteArray("{}") << false << noVersions;
        QTest::newRow("software status: empty")
            << "/update/software/status" << QByteArray() << false << noVersions;
        QTest::newRow("software status: same again")
            << "/update/software/status"
            << QByteArray(R"({"current": "1.0.0", "pending": "1.1.0", "state": 5})") << false
            << QVariantMap();

        // Nothing readable in a progress report is an installation step of an unknown version.
        const QVariantMap blank = {{"status", Installing},
                                   {"progressMessage", ""},
                                   {"progressPercent", 0},
                                   {"pending", ""}};
        for (const QString suffix : {"/update/software/progress", "/update/software/progess"}) {
            const QString name = suffix.mid(suffix.lastIndexOf('/') + 1) + ": ";
            QTest::newRow(qPrintable(name + "garbage"))
                << suffix << garbage << true << QVariantMap();
            QTest::newRow(qPrintable(name + "array")) << suffix << array << false << blank;
            QTest::newRow(qPrintable(name + "missing keys"))
                << suffix << QByteArray("{}") << false << blank;
            QTest::newRow(qPrintable(name + "empty")) << suffix << QByteArray() << false << blank;
            QTest::newRow(qPrintable(name + "percent as text"))
                << suffix << QByteArray(R"({"message": "Downloading 6/24 MB", "progress": "25",
                                  "version": "1.1.0"})")
                << false
                << QVariantMap(
                       {{"progressMessage", "Downloading 6/24 MB"}, {"progressPercent", 0}});
            QTest::newRow(qPrintable(name + "fraction"))
                << suffix << QByteArray(R"({"message": "Downloading 3/24 MB", "progress": 12.5,
                                  "version": "1.1.0"})")
                << false << QVariantMap({{"progressPercent", 0}});
            QTest::newRow(qPrintable(name + "beyond int"))
                << suffix << QByteArray(R"({"message": "Downloading 3/24 MB", "progress": 1e20,
                                  "version": "1.1.0"})")
                << false << QVariantMap({{"progressPercent", 0}});
            QTest::newRow(qPrintable(name + "message as object"))
                << suffix << QByteArray(R"({"message": {"text": "6/24 MB"}, "progress": 25,
                                  "version": "1.1.0"})")
                << false
                << QVariantMap(
                       {{"status", Installing}, {"progressMessage", ""}, {"progressPercent", 25}});
            QTest::newRow(qPrintable(name + "version as number"))
                << suffix << QByteArray(R"({"message": "Downloading 3/24 MB", "progress": 12,
                                  "version": 1.1})")
                << false << QVariantMap({{"pending", ""}});
            QTest::newRow(qPrintable(name + "same again"))
                << suffix << QByteArray(R"({"message": "Downloading 3/24 MB", "progress": 12,
                                  "version": "1.1.0"})")
                << false << QVariantMap();
        }
    }

    void badInput()
    {
        QFETCH(QString, suffix);
        QFETCH(QByteArray, payload);
        QFETCH(bool, critical);
        QFETCH(QVariantMap, changes);
        Local local;
        local.populate();
        const QString before = snapshot(local.update);
        QCOMPARE(before, compact({{"status", Downloading},
                                  {"current", "1.0.0"},
                                  {"pending", "1.1.0"},
                                  {"progressMessage", "Downloading 3/24 MB"},
                                  {"progressPercent", 12}}));

        SignalRecorder recorder(&local.update);
        LogCapture log;
        local.feed(suffix, payload);
        const QString after = withChanges(before, changes);
        QCOMPARE(snapshot(local.update), after);
        QCOMPARE(recorder.names(), notificationsFor(before, after));
        QCOMPARE(log.lines(), critical ? QStringList{parseErrorLine(payload)} : QStringList());
    }

    void foreignTopicsIgnored_data()
    {
        QTest::addColumn<QString>("topic");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("critical");

        const QByteArray status(R"({"update": {"software": {"current": "9.0", "pending": ""}}})");
        const QByteArray progress(R"({"message": "Installing", "progress": 90, "version": "9.0"})");
        const QByteArray garbage("not json");

        // The clock's topics share the base: read, then dropped.
        QTest::newRow("clock status")
            << "velt/device/clock/ntp/status" << QByteArray(R"({"enabled": true, "synced": true})")
            << false;
        QTest::newRow("clock config shaped like a status")
            << "velt/device/clock/ntp/config" << status << false;
        QTest::newRow("clock status, garbage") << "velt/device/clock/ntp/status" << garbage << true;
        QTest::newRow("other service") << "velt/board/status" << status << false;
        QTest::newRow("other service, garbage") << "velt/board/status" << garbage << false;
        QTest::newRow("other service, progress")
            << "velt/board/update/software/progress" << progress << false;
        QTest::newRow("other case") << "VELT/DEVICE/status" << status << false;
        QTest::newRow("base cut short") << "velt/devic/status" << status << false;
        QTest::newRow("empty topic") << "" << garbage << false;
        QTest::newRow("base itself") << Base << status << false;
        QTest::newRow("base inside another") << "x/velt/device/status" << status << false;
        QTest::newRow("deeper under a topic")
            << topic("/update/software/progress/extra") << progress << false;
        QTest::newRow("parent of the topics") << topic("/update/software") << status << false;
        // The manager's own requests.
        QTest::newRow("status request") << topic("/status/get") << QByteArray() << false;
        QTest::newRow("check request") << topic("/software/check") << QByteArray() << false;
        QTest::newRow("install request")
            << topic("/update/software/install") << QByteArray() << false;
    }

    void foreignTopicsIgnored()
    {
        QFETCH(QString, topic);
        QFETCH(QByteArray, payload);
        QFETCH(bool, critical);
        Local local;
        local.populate();
        const QString before = snapshot(local.update);

        SignalRecorder recorder(&local.update);
        LogCapture log;
        emit local.mqtt.received(payload, topic.toUtf8());
        QCOMPARE(snapshot(local.update), before);
        QCOMPARE(recorder.names(), QStringList());
        QCOMPARE(log.lines(), critical ? QStringList{parseErrorLine(payload)} : QStringList());
    }

    // The whole road against the simulated device service, on a broker of its own (the
    // simulator's reports are retained).
    void againstTheDeviceService()
    {
        BrokerClient remote;
        QVERIFY(remote.open());
        MqttObserver &observer = remote.observer;
        SimulatorRun simulator(remote.broker.host(), remote.broker.port());
        QCOMPARE(simulator.execute("device current 1.0.0"), QString());

        Update update(remote.mqtt, Base);
        QStringList statuses;
        connect(&update, &Update::statusChanged, &update, [&] { statuses << update.status(); });
        int highest = 0;
        connect(&update, &Update::progressPercentChanged, &update,
                [&] { highest = qMax(highest, update.progressPercent()); });
        QVERIFY(remote.connectClient());
        QTRY_COMPARE_WITH_TIMEOUT(update.current(), QString("1.0.0"), WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(update.status(), NoPending, WaitMs);
        QCOMPARE(update.progressMessage(), QString("Idle"));

        const auto installs = [&](const QString &version, const QString &progressTopic) {
            observer.clear();
            statuses.clear();
            highest = 0;
            QCOMPARE(simulator.execute("device pending " + version), QString());
            update.check();
            QCOMPARE(update.status(), Checking);
            QTRY_COMPARE_WITH_TIMEOUT(update.status(), Ready, WaitMs);
            QCOMPARE(update.pending(), version);

            statuses.clear();
            update.install();
            QTRY_COMPARE_WITH_TIMEOUT(update.current(), version, WaitMs);
            QTRY_COMPARE_WITH_TIMEOUT(update.status(), NoPending, WaitMs);
            QCOMPARE(statuses, QStringList({Downloading, Installing, NoPending}));
            QCOMPARE(highest, 100);
            QCOMPARE(update.pending(), QString());
            QCOMPARE(update.progressMessage(), QString("Idle"));
            QCOMPARE(update.progressPercent(), 0);
            QVERIFY(!observer.messages(topic(progressTopic)).isEmpty());
        };

        installs("1.1.0", "/update/software/progress");
        if (QTest::currentTestFailed())
            return;
        QVERIFY(observer.messages(topic("/update/software/progess")).isEmpty());

        QCOMPARE(simulator.execute("device progress-topic progess"), QString());
        installs("1.2.0", "/update/software/progess");
        if (QTest::currentTestFailed())
            return;
        QVERIFY(observer.messages(topic("/update/software/progress")).isEmpty());

        // The older device status: the installed version as plain text.
        observer.clear();
        QCOMPARE(simulator.execute("device status-form string"), QString());
        QCOMPARE(simulator.execute("device current 1.2.1"), QString());
        QTRY_COMPARE_WITH_TIMEOUT(update.current(), QString("1.2.1"), WaitMs);
        // The change of form is published too, with the version before: wait for the newest.
        const auto published = [&] {
            const auto messages = observer.messages(topic("/status"));
            return messages.isEmpty() ? QString()
                                      : QJsonDocument::fromJson(messages.last().payload)
                                            .object()
                                            .value("update")
                                            .toObject()
                                            .value("software")
                                            .toString();
        };
        QTRY_COMPARE_WITH_TIMEOUT(published(), QString("1.2.1"), WaitMs);
        QCOMPARE(update.status(), NoPending);
    }
};

QTEST_GUILESS_MAIN(UpdateTest)
#include "tst_update.moc"
