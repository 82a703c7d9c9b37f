#include "Ethernet.h"

#include "ChangeValue.h"
#include "Logger.h"

#include <QDebug>

namespace manager {

namespace {

// The USB gadget link to a service laptop is no part of the bus network.
const QString Ignored = QStringLiteral("usb0");
const QString Manual = QStringLiteral("manual");

QString debugText(const QVariantMap &map)
{
    QString text;
    QDebug(&text).nospace() << map;
    return text;
}

} // namespace

Ethernet::Ethernet(MqttClient &mqtt, const QString &base, QObject *parent)
    : ServiceManager(mqtt, base + QStringLiteral("/ethernet"),
                     QStringLiteral("[Network][Ethernet] "), parent)
{
    connect(&m_mqtt, &MqttClient::connected, this, &Ethernet::reset);
    subscribe();
}

void Ethernet::subscribe()
{
    LOG_INFO << m_prefix << "Subscribing to topics";
    subscribeTopics({"/state", "/config"});
}

void Ethernet::reset()
{
    LOG_INFO << m_prefix << "Refreshing data";
    const QByteArray empty = QByteArrayLiteral("{}");
    m_mqtt.publish(empty, m_base + "/state/get");
    m_mqtt.publish(empty, m_base + "/config/get");
}

void Ethernet::setMethod(const QString &method)
{
    if (method == m_method)
        return;
    LOG_INFO << m_prefix << "Method changed : " << method;
    m_method = method;
    emit methodChanged();
}

void Ethernet::save()
{
    LOG_INFO << m_prefix << "Saving configuration";
    LOG_INFO << m_prefix << "-------------------------";
    LOG_INFO << m_prefix << "Method  : " << m_method;
    LOG_INFO << m_prefix << "Address : " << m_config.address();
    LOG_INFO << m_prefix << "Netmask : " << m_config.mask();
    LOG_INFO << m_prefix << "Gateway : " << m_config.gateway();
    LOG_INFO << m_prefix << "DNS     : " << m_config.dns0() << ", " << m_config.dns1();
    LOG_INFO << m_prefix << "-------------------------";

    // Static addresses go only with the manual method; any other method clears them.
    const bool manual = m_method == Manual;
    const QJsonObject request{{"interface", m_interface},
                              {"method", m_method},
                              {"address", manual ? m_config.address() : QString()},
                              {"netmask", manual ? m_config.mask() : QString()},
                              {"gateway", manual ? m_config.gateway() : QString()},
                              {"dns0", manual ? m_config.dns0() : QString()},
                              {"dns1", manual ? m_config.dns1() : QString()}};
    publishJson(m_base + "/config/set", request);
}

void Ethernet::onMqttReceived(const QByteArray &message, const QString &topic)
{
    QJsonObject object;
    if (!acceptUnderBase(message, topic, object))
        return;
    if (topic == m_base + "/state")
        onStateReceived(object, topic);
    else if (topic == m_base + "/config")
        onConfigReceived(object, topic);
}

void Ethernet::onStateReceived(const QJsonObject &object, const QString &topic)
{
    LOG_INFO << m_prefix << "Processing state topic " << topic;
    const QString interface = object.value("interface").toString();
    if (interface == Ignored)
        return;
    if (changeValue(m_interface, interface)) {
        LOG_INFO << m_prefix << "Interface changed : " << m_interface;
        emit interfaceChanged();
    }
    if (changeValue(m_type, object.value("typeStr").toString())) {
        LOG_INFO << m_prefix << "Type changed : " << m_type;
        emit typeChanged();
    }
    if (changeValue(m_state, object.value("stateStr").toString())) {
        LOG_INFO << m_prefix << "State changed : " << m_state;
        emit stateChanged();
    }
    if (changeValue(m_reason, object.value("reasonStr").toString())) {
        LOG_INFO << m_prefix << "Reason changed : " << m_reason;
        emit reasonChanged();
    }
    if (changeValue(m_mac, object.value("mac").toString())) {
        LOG_INFO << m_prefix << "MAC changed : " << m_mac;
        emit macChanged();
    }
    const QVariantMap ipv4 = object.value("ipv4").toObject().toVariantMap();
    if (ipv4 != m_ipv4.toMap()) {
        LOG_INFO << m_prefix << "IPv4 changed : " << debugText(ipv4);
        m_ipv4.fromMap(ipv4);
        emit ipv4Changed();
    }
}

void Ethernet::onConfigReceived(const QJsonObject &object, const QString &topic)
{
    LOG_INFO << m_prefix << "Processing config topic " << topic;
    if (object.value("interface").toString() == Ignored)
        return;
    setMethod(object.value("method").toString());
    // The whole message is compared, so one that names its interface or method always counts as
    // a change: the configured addresses are re-applied and the screens told, which is harmless.
    const QVariantMap config = object.toVariantMap();
    if (config != m_config.toMap()) {
        LOG_INFO << m_prefix << "IPv4 changed : " << debugText(config);
        m_config.fromMap(config);
        emit configChanged();
    }
}

} // namespace manager
