#include "CoreFixture.h"

#include "Event.h"

#include <QCoreApplication>
#include <QFile>
#include <QSignalSpy>
#include <QtTest>

#include <algorithm>

CoreFixture::CoreFixture(MosquittoBroker &broker, const QByteArray &serial,
                         const QVariantMap &settings)
{
    QCoreApplication::setApplicationName("Pernix");
    QCoreApplication::setApplicationVersion("1.0.18-1-g376f268");
    qputenv("PERNIX_EVENT_LOG", m_dir.filePath("events.ini").toUtf8());

    if (!serial.isNull()) {
        QFile file(m_dir.filePath("serialnumber"));
        file.open(QIODevice::WriteOnly);
        file.write(serial);
    }
    m_config = std::make_unique<Config>(m_dir.filePath("gui.conf"), GUIManager::Defaults);
    // In the file, so that changes from the network can replace them.
    m_config->set("mqtt/host", broker.host());
    m_config->set("mqtt/port", broker.port());
    m_config->set("gui/deviceId", m_dir.filePath("serialnumber"));
    m_config->set("log/stderr", false);
    m_config->set("log/syslog", false);
    m_config->addOverrides(settings);
    m_port = broker.port();
    m_observer.connectTo(broker.host(), broker.port());
    m_manager = std::make_unique<GUIManager>(*m_config);
}

CoreFixture::~CoreFixture()
{
    // The broker publishes the manager's last will once it notices the connection is gone,
    // which on a busy machine can be well after this fixture; waiting for it here keeps it out
    // of the next test's observations.
    const QByteArray will = "{\"service\": false}";
    const auto wills = [&] {
        const QList<MqttObserver::Message> messages = m_observer.messages();
        return std::count_if(messages.begin(), messages.end(),
                             [&](const MqttObserver::Message &m) { return m.payload == will; });
    };
    const bool connected = m_manager->mqtt().state() == manager::MosquittoClient::Connected;
    // A test may have moved the manager to another broker, which this observer does not see.
    const bool onThisBroker = m_config->get("mqtt/port").toInt() == m_port;
    const auto before = wills();
    m_manager.reset();
    if (connected && onThisBroker)
        (void)QTest::qWaitFor([&] { return wills() > before; }, 10000);
    m_config.reset();
}

bool CoreFixture::waitConnected()
{
    QDeadlineTimer deadline(10000);
    while (m_manager->mqtt().state() != manager::MosquittoClient::Connected &&
           !deadline.hasExpired())
        QTest::qWait(10);
    return m_manager->mqtt().state() == manager::MosquittoClient::Connected;
}

bool CoreFixture::waitReady()
{
    if (!waitConnected())
        return false;
    // The configuration goes out after the subscriptions: seen here, they are in place.
    QDeadlineTimer deadline(10000);
    while (published("velt/ui/config") == 0 && !deadline.hasExpired())
        QTest::qWait(10);
    return published("velt/ui/config") > 0;
}

void CoreFixture::inject(const QString &topic, const QByteArray &payload)
{
    emit m_manager->mqtt().received(payload, topic.toUtf8());
}

void CoreFixture::validatorStatus(const QString &status)
{
    QByteArray state = R"({"hasRfid": true, "hasRoute": true, "hasQr": true, "hasObu": true})";
    bool service = true;
    if (status == "init")
        state = R"({"init": true})";
    else if (status == "degraded")
        state = R"({"hasRfid": true, "hasRoute": true, "hasQr": true})";
    else if (status == "out-of-service")
        state = R"({"hasRfid": true, "hasQr": true, "hasObu": true})";
    else if (status == "offline")
        service = false;
    // Readers reported in the other position, so that the switching shows as a request.
    const bool readersOn = status != "online" && status != "degraded";
    inject("velt/blm/status", QByteArray(R"({"service": )") + (service ? "true" : "false") +
                                  R"(, "device": {"rfid": {"state": )" + (readersOn ? "2" : "1") +
                                  R"(}, "barcode": {"enabled": )" + (readersOn ? "true" : "false") +
                                  R"(}},
                  "route": {"axisName": "X95"}, "state": )" +
                                  state + "}");
}

void CoreFixture::ignition(bool on)
{
    inject("velt/board/event",
           QByteArray(R"({"name": "IgnitionChanged", "data": )") + (on ? "1" : "0") + "}");
}

void CoreFixture::boardStatus(bool ignition)
{
    inject("velt/board/status",
           QByteArray(R"({"service": true, "device": {"active": true, "ignition": )") +
               (ignition ? "true" : "false") + "}}");
}

void CoreFixture::result(bool valid, int denyReason)
{
    inject("velt/blm/rfid/scanned",
           QByteArray(R"({"transaction": {"result": )") + (valid ? "true" : "false") +
               R"(, "type": 2, "denyReason": {"id": )" + QByteArray::number(denyReason) +
               R"(}, "card": {"balanceBefore": 500, "balanceAfter": 380}}})");
}

void CoreFixture::retry()
{
    inject("velt/blm/rfid/retry", "");
}

bool CoreFixture::drain()
{
    const QByteArray mark = QByteArray::number(++m_marks);
    if (!m_manager->mqtt().publish(mark, QStringLiteral("tst/mark")))
        return false;
    return QTest::qWaitFor(
        [&] {
            const auto marks = m_observer.messages(QStringLiteral("tst/mark"));
            return std::any_of(marks.begin(), marks.end(),
                               [&](const MqttObserver::Message &m) { return m.payload == mark; });
        },
        10000);
}

bool CoreFixture::roundTrip()
{
    const int before = published(QStringLiteral("velt/ui/info"));
    if (!m_observer.publish(QStringLiteral("velt/ui/info/get"), QByteArray()))
        return false;
    return QTest::qWaitFor([&] { return published(QStringLiteral("velt/ui/info")) > before; },
                           10000);
}

int CoreFixture::published(const QString &topic) const
{
    return m_observer.messages(topic).size();
}

QStringList CoreFixture::eventNames() const
{
    QStringList names;
    for (QObject *entry : m_manager->eventLog().entries())
        names << static_cast<Event *>(entry)->name();
    return names;
}
