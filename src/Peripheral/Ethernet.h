#pragma once

#include "IPv4.h"
#include "ServiceManager.h"

#include <QJsonObject>
#include <QString>

namespace manager {

// The wired interface as the network service reports it (name, type, state, reason of the last
// state change, MAC address, the addresses in use) and its configuration (addressing method and
// static addresses), which the maintenance screens and barcodes edit and send back with save().
class Ethernet : public ServiceManager
{
    Q_OBJECT
    Q_PROPERTY(QString interface READ interface NOTIFY interfaceChanged)
    Q_PROPERTY(QString type READ type NOTIFY typeChanged)
    Q_PROPERTY(QString state READ state NOTIFY stateChanged)
    Q_PROPERTY(QString reason READ reason NOTIFY reasonChanged)
    Q_PROPERTY(QString mac READ mac NOTIFY macChanged)
    Q_PROPERTY(QString method READ method WRITE setMethod NOTIFY methodChanged)
    Q_PROPERTY(IPv4 *ipv4 READ ipv4 NOTIFY ipv4Changed)
    Q_PROPERTY(IPv4 *config READ config NOTIFY configChanged)
public:
    // base: the network service's base topic; the interface's topics are under base + "/ethernet".
    Ethernet(MqttClient &mqtt, const QString &base, QObject *parent);

    QString interface() const { return m_interface; }
    QString type() const { return m_type; }
    QString state() const { return m_state; }
    QString reason() const { return m_reason; }
    QString mac() const { return m_mac; }
    QString method() const { return m_method; }
    // Nothing reaches the service until save().
    void setMethod(const QString &method);
    // Both fixed for the object's life: the addresses in use and the configured ones.
    IPv4 *ipv4() { return &m_ipv4; }
    IPv4 *config() { return &m_config; }

signals:
    void interfaceChanged();
    void typeChanged();
    void stateChanged();
    void reasonChanged();
    void macChanged();
    void methodChanged();
    void ipv4Changed();
    void configChanged();

public slots:
    // Sends the configuration; the properties follow the service's answer, not the request.
    void save();
    // Asks the service for the interface's state and configuration.
    void reset();

protected:
    void onMqttReceived(const QByteArray &message, const QString &topic) override;

private:
    void subscribe();
    void onStateReceived(const QJsonObject &object, const QString &topic);
    void onConfigReceived(const QJsonObject &object, const QString &topic);

    QString m_interface;
    QString m_type;
    QString m_state;
    QString m_reason;
    QString m_mac;
    QString m_method;
    IPv4 m_ipv4;
    IPv4 m_config;
};

} // namespace manager
