#pragma once

#include "MqttClient.h"

#include <QJsonObject>
#include <QObject>
#include <QString>

#include <initializer_list>

class QTimer;

namespace manager {

// The shape every service manager shares: the shared connection and the service's base topic,
// every message of the connection handed to onMqttReceived (topic as text), subscriptions under
// the base, defensive payload parsing, JSON requests, and the monitor timer's start and stop.
// Each manager filters the topics, dispatches to one handler per topic and mirrors the service's
// state in its own properties.
class ServiceManager : public QObject
{
    Q_OBJECT
public:
    QString base() const { return m_base; }

protected:
    // logPrefix: the component prefix of every log line, such as "[Board] ".
    ServiceManager(MqttClient &mqtt, const QString &base, const QString &logPrefix,
                   QObject *parent);

    // Every message of the shared connection, whichever manager it belongs to.
    virtual void onMqttReceived(const QByteArray &message, const QString &topic) = 0;

    // Subscribes base + suffix, QoS 0, in the order given.
    void subscribeTopics(std::initializer_list<const char *> suffixes);
    // An empty payload is the empty object (so is any JSON value that is not an object). A payload
    // that is not JSON is logged at critical level and false is returned.
    bool parse(const QByteArray &message, QJsonObject &object) const;
    // For the services whose messages are always JSON: an empty payload is no message either,
    // and a failure is logged with the raw payload.
    bool parseRaw(const QByteArray &message, QJsonObject &object) const;
    // The first steps for a topic under the base: false for another manager's topic (silently)
    // and for a payload that is not JSON (logged); otherwise the payload as an object.
    bool acceptUnderBase(const QByteArray &message, const QString &topic,
                         QJsonObject &object) const;
    // A whole number as services report percentages; anything else (text, fractions, values no
    // int can hold) reads as 0 rather than as a guess.
    static int wholeNumber(const QJsonValue &value);
    // Publishes the object as indented JSON, QoS 0, no retain.
    bool publishJson(const QString &topic, const QJsonObject &object);
    // Monitor: 0 stops the timer, any other value (re)starts it as a repeating timer (a negative
    // one at 1000 ms).
    void monitorWith(QTimer &timer, int msec) const;

    MqttClient &m_mqtt;
    const QString m_base;
    const QString m_prefix;
};

} // namespace manager
