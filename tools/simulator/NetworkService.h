#pragma once

#include "SimService.h"

#include <QJsonObject>
#include <QString>

namespace sim {

// The network service: overall connection state, connectivity, host name, the primary
// connection, and the wired interface eth0 with its state and configuration.
class NetworkService : public SimService
{
    Q_OBJECT
public:
    explicit NetworkService(manager::MqttClient &mqtt,
                            const QString &base = QStringLiteral("velt/network"),
                            QObject *parent = nullptr);

    void publishAll() override;
    QString command(const QStringList &args) override;
    QStringList help() const override;

protected:
    void onMessage(const QString &topic, const QByteArray &payload) override;

private:
    // The addresses eth0 holds now: the static ones, a lease, or none while unplugged.
    QJsonObject ipv4InUse() const;
    QJsonObject statusReport() const;
    QJsonObject stateReport() const;
    QJsonObject configReport() const;
    void publishStatus();
    void publishState();
    void publishConfig();
    void applyConfig(const QJsonObject &request);
    void publishUsbGadget(bool up);

    QString m_state = QStringLiteral("Connected");
    QString m_connectivity = QStringLiteral("Full");
    QString m_hostname = QStringLiteral("validator-0001");
    bool m_linkUp = true;
    QString m_reason = QStringLiteral("None");
    QString m_mac = QStringLiteral("02:4e:56:00:00:01");
    QString m_method = QStringLiteral("manual");
    QString m_address = QStringLiteral("192.168.1.50");
    QString m_netmask = QStringLiteral("255.255.255.0");
    QString m_gateway = QStringLiteral("192.168.1.1");
    QString m_dns0 = QStringLiteral("192.168.1.1");
    QString m_dns1 = QStringLiteral("8.8.8.8");
};

} // namespace sim
