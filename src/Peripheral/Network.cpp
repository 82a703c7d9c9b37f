#include "Network.h"

#include "ChangeValue.h"
#include "Logger.h"

namespace manager {

Network::Network(MqttClient &mqtt, const QString &base, QObject *parent)
    : ServiceManager(mqtt, base, QStringLiteral("[Network] "), parent), m_timer(this),
      m_ethernet(new Ethernet(mqtt, base, this))
{
    connect(&m_mqtt, &MqttClient::connected, this, &Network::refresh);
    connect(&m_timer, &QTimer::timeout, this, &Network::refresh);
    subscribe();
}

void Network::subscribe()
{
    LOG_INFO << m_prefix << "Subscribing to topics";
    subscribeTopics({"/info", "/status"});
}

void Network::refresh()
{
    LOG_INFO << m_prefix << "Refreshing data";
}

void Network::monitor(int msec)
{
    monitorWith(m_timer, msec);
    if (msec != 0)
        refresh();
}

void Network::onMqttReceived(const QByteArray &message, const QString &topic)
{
    QJsonObject object;
    if (!acceptUnderBase(message, topic, object))
        return;
    if (topic == m_base + "/info")
        onInfoReceived(object, topic);
    else if (topic == m_base + "/status")
        onStatusReceived(object, topic);
}

void Network::onInfoReceived(const QJsonObject &, const QString &topic)
{
    LOG_INFO << m_prefix << "Processing info topic " << topic;
}

void Network::onStatusReceived(const QJsonObject &object, const QString &topic)
{
    LOG_INFO << m_prefix << "Processing status topic " << topic;
    if (changeValue(m_connectionState, object.value("stateStr").toString()))
        emit connectionStateChanged();
    if (changeValue(m_connectivity, object.value("connectivityStr").toString()))
        emit connectivityChanged();
    if (changeValue(m_hostname, object.value("hostname").toString()))
        emit hostnameChanged();
    m_primary.fromMap(object.value("primaryConnection").toObject().toVariantMap());
    emit primaryConnectionChanged();
}

} // namespace manager
