#include "BrokerClient.h"

#include <QSignalSpy>
#include <QTest>

namespace {
constexpr int WaitMs = 15000;
const QString Mark = QStringLiteral("tst/mark");
} // namespace

bool BrokerClient::open()
{
    return broker.start() && observer.connectTo(broker.host(), broker.port());
}

bool BrokerClient::connectClient()
{
    mqtt.setHostname(broker.host());
    mqtt.setPort(broker.port());
    mqtt.setRetryMillis(300);
    QSignalSpy connected(&mqtt, &manager::MqttClient::connected);
    mqtt.connect();
    return connected.count() > 0 || connected.wait(WaitMs);
}

bool BrokerClient::drain(QList<MqttObserver::Message> &out)
{
    const QByteArray mark = QByteArray::number(++marks);
    if (!mqtt.publish(mark, Mark))
        return false;
    const bool seen = QTest::qWaitFor(
        [&] {
            for (const auto &m : observer.messages(Mark)) {
                if (m.payload == mark)
                    return true;
            }
            return false;
        },
        WaitMs);
    if (!seen)
        return false;
    out.clear();
    for (const auto &m : observer.messages()) {
        if (m.topic == Mark && m.payload == mark)
            break;
        if (m.topic != Mark)
            out.append(m);
    }
    observer.clear();
    return true;
}
