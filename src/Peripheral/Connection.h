#pragma once

#include "IPv4.h"

#include <QObject>
#include <QString>
#include <QVariantMap>

namespace manager {

// One network connection as the network service describes it: the interface that carries it,
// its state and type in the service's own words, and its IPv4 settings.
class Connection : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString interface READ interface NOTIFY interfaceChanged)
    Q_PROPERTY(QString state READ state NOTIFY stateChanged)
    Q_PROPERTY(QString type READ type NOTIFY typeChanged)
    Q_PROPERTY(IPv4 *ipv4 READ ipv4 NOTIFY ipv4Changed)
public:
    explicit Connection(QObject *parent = nullptr);

    QString interface() const { return m_interface; }
    QString state() const { return m_state; }
    QString type() const { return m_type; }
    // Fixed for the object's life; its own signals tell what changed inside.
    IPv4 *ipv4() { return &m_ipv4; }

    // Applies a "primaryConnection" object of the service; missing keys read as empty.
    void fromMap(const QVariantMap &map);

signals:
    void interfaceChanged();
    void stateChanged();
    void typeChanged();
    void ipv4Changed();

private:
    QString m_interface;
    QString m_state;
    QString m_type;
    IPv4 m_ipv4;
};

} // namespace manager
