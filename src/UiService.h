#pragma once

#include "Config.h"
#include "MqttClient.h"
#include "SessionManager.h"

#include <QObject>
#include <QRegularExpression>
#include <QSet>
#include <QString>
#include <QVariant>
#include <QVector>

#include <functional>

// The user interface as a service on the broker: it announces its version, its status (whether
// a technician is logged in) and its configuration under the base topic `mqtt/base`, answers
// requests for them, takes configuration changes from the network, and runs the reactions of
// the configuration keys that changed, from whatever source.
class UiService : public QObject
{
    Q_OBJECT
public:
    // One row of the reaction table: what runs when a matching key changes.
    struct Reaction
    {
        // Matched against each changed key.
        QRegularExpression key;
        // The info line (after the prefix) for the new value of the key; none when empty.
        std::function<QString(const QVariant &value)> log;
        std::function<void(const QVariant &value)> apply;
    };

    UiService(Config &config, manager::MqttClient &mqtt, SessionManager &session,
              QObject *parent = nullptr);

    // Rows in the order their reactions run.
    void setReactions(const QVector<Reaction> &reactions) { m_reactions = reactions; }
    QString baseTopic() const;

public slots:
    // What every connection to the broker brings: the request topics, then the three
    // publications.
    void announce();
    void subscribeToTopics();
    void publishInfo();
    void publishStatus();
    void publishConfig();
    void processMqttMessage(const QByteArray &data, const QByteArray &topic);
    void onConfigChanged(const QVariantMap &changes);
    void onConfigFileChanged();

private:
    void publish(const QString &suffix, const QJsonObject &object);

    Config &m_config;
    manager::MqttClient &m_mqtt;
    SessionManager &m_session;
    QVector<Reaction> m_reactions;
    // The request topics already asked for: the client repeats them after every reconnection,
    // so asking again on each connection would only pile up duplicates.
    QSet<QString> m_subscribedTopics;
};
