#pragma once

#include "MqttClient.h"

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>

#include <initializer_list>

namespace sim {

// One simulated device service on the broker: it keeps a coherent state, publishes its reports
// (retained, so that a program started later sees them at once), answers the requests the UI
// sends and applies scripted commands.
class SimService : public QObject
{
    Q_OBJECT
public:
    // name: the word that addresses the service in commands ("board", "validator", ...).
    SimService(manager::MqttClient &mqtt, const QString &base, const QString &name,
               QObject *parent = nullptr);

    QString name() const { return m_name; }
    QString base() const { return m_base; }

    // Every report, as at start and after each reconnection.
    virtual void publishAll() = 0;
    // A scripted command: the words after the service name. Returns an error text, or an empty
    // string when the command was applied.
    virtual QString command(const QStringList &args) = 0;
    // One line per command the service understands, for "help".
    virtual QStringList help() const = 0;

protected:
    // Every message on the connection; the service picks the requests meant for it.
    virtual void onMessage(const QString &topic, const QByteArray &payload) = 0;

    // Subscribes base + each suffix.
    void subscribeTo(std::initializer_list<const char *> suffixes);
    // Publishes the object as indented JSON on base + suffix.
    void publishReport(const QString &suffix, const QJsonObject &object, bool retain = true);
    // Publishes on an absolute topic.
    void publishTo(const QString &topic, const QByteArray &payload, bool retain = false);
    // One log line per request received, with its payload.
    void logRequest(const QString &topic, const QByteArray &payload) const;
    // The payload as an object; anything else (garbage, an array) is an empty object.
    static QJsonObject objectOf(const QByteArray &payload);
    // "on"/"off", "true"/"false", "1"/"0"; ok is false for anything else.
    static bool parseSwitch(const QString &word, bool *ok);

    manager::MqttClient &m_mqtt;
    const QString m_base;
    const QString m_name;
};

} // namespace sim
