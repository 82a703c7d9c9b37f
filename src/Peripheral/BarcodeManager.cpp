#include "BarcodeManager.h"

#include "Logger.h"

namespace manager {

BarcodeManager::BarcodeManager(MqttClient &mqtt, const QString &base, QObject *parent)
    : ServiceManager(mqtt, base, QString(), parent)
{
    subscribeTopics({"/#"});
}

bool BarcodeManager::enable()
{
    return m_mqtt.publish(QByteArray(), m_base + "/enable");
}

bool BarcodeManager::disable()
{
    return m_mqtt.publish(QByteArray(), m_base + "/disable");
}

void BarcodeManager::onMqttReceived(const QByteArray &message, const QString &topic)
{
    QJsonObject object;
    if (!topic.contains(m_base) || !parseRaw(message, object))
        return;
    if (topic == m_base + "/info")
        onInfoReceived(object, topic);
    else if (topic == m_base + "/status")
        onStatusReceived(object, topic);
    else if (topic == m_base + "/barcode")
        onBarcodeReceived(object, topic);
}

void BarcodeManager::onInfoReceived(const QJsonObject &object, const QString &)
{
    const QJsonObject device = object.value("device").toObject();
    const QJsonObject service = object.value("service").toObject();
    m_info.firmware = device.value("firmware").toString();
    m_info.manufacturer = device.value("manufacturer").toString();
    m_info.model = device.value("model").toString();
    m_info.version = service.value("version").toString();
    m_info.type = service.value("type").toString();
}

void BarcodeManager::onStatusReceived(const QJsonObject &object, const QString &)
{
    if (!object.value("service").toBool()) {
        setStatus(QStringLiteral("offline"));
        return;
    }
    const QJsonObject device = object.value("device").toObject();
    if (!device.value("active").toBool())
        setStatus(QStringLiteral("error"));
    else
        setStatus(device.value("enabled").toBool() ? QStringLiteral("enabled")
                                                   : QStringLiteral("disabled"));
}

void BarcodeManager::onBarcodeReceived(const QJsonObject &object, const QString &)
{
    // Every read counts, the same code twice included.
    emit barcodeScanned(object.value("data").toString());
}

void BarcodeManager::setStatus(const QString &status)
{
    if (status == m_status)
        return;
    LOG_WARNING << "Barcode status is : " << status;
    m_status = status;
    emit statusChanged(status);
}

} // namespace manager
