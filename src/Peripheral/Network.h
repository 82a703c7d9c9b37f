#pragma once

#include "Connection.h"
#include "Ethernet.h"
#include "ServiceManager.h"

#include <QJsonObject>
#include <QString>
#include <QTimer>

namespace manager {

// Mirrors the network service: the unit's overall connection state, its connectivity verdict,
// its host name and its primary connection, all in the service's own words. Owns the wired
// interface's manager.
class Network : public ServiceManager
{
    Q_OBJECT
    Q_PROPERTY(QString connectionState READ connectionState NOTIFY connectionStateChanged)
    Q_PROPERTY(QString connectivity READ connectivity NOTIFY connectivityChanged)
    Q_PROPERTY(QString hostname READ hostname NOTIFY hostnameChanged)
    Q_PROPERTY(manager::Connection *primaryConnection READ primaryConnection NOTIFY
                   primaryConnectionChanged)
    Q_PROPERTY(manager::Ethernet *ethernet READ ethernet NOTIFY ethernetChanged)
public:
    Network(MqttClient &mqtt, const QString &base, QObject *parent = nullptr);

    QString connectionState() const { return m_connectionState; }
    QString connectivity() const { return m_connectivity; }
    QString hostname() const { return m_hostname; }
    // Both fixed for the object's life.
    Connection *primaryConnection() { return &m_primary; }
    Ethernet *ethernet() const { return m_ethernet; }

signals:
    void connectionStateChanged();
    void connectivityChanged();
    void hostnameChanged();
    // On every status message, whether or not the connection changed.
    void primaryConnectionChanged();
    // Never emitted: the ethernet object lives as long as this one.
    void ethernetChanged();

public slots:
    // The service publishes its topics by itself: there is nothing to ask for.
    void refresh();
    void monitor(int msec);

protected:
    void onMqttReceived(const QByteArray &message, const QString &topic) override;

private:
    void subscribe();
    void onInfoReceived(const QJsonObject &object, const QString &topic);
    void onStatusReceived(const QJsonObject &object, const QString &topic);

    QTimer m_timer;
    QString m_connectionState;
    QString m_connectivity;
    QString m_hostname;
    Connection m_primary;
    Ethernet *m_ethernet = nullptr;
};

} // namespace manager
