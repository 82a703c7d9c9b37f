#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <mutex>

struct mosquitto;

// A second, independent client (plain libmosquitto on its own thread) that records every
// message published on the broker.
class MqttObserver
{
public:
    struct Message
    {
        QString topic;
        QByteArray payload;
        int qos = 0;
        bool retain = false;
    };

    // clientId: distinct for each observer on one broker, or they push each other off.
    explicit MqttObserver(const QString &clientId = QStringLiteral("observer"));
    ~MqttObserver();

    // Signs in as this user at the next connection (a broker with a password file).
    void setCredentials(const QString &username, const QString &password);
    // Connects and subscribes to filter; true once the subscription is answered (a broker's
    // ACL may refuse it: then nothing arrives).
    bool connectTo(const QString &host, quint16 port, int timeoutMs = 5000,
                   const QString &filter = QStringLiteral("#"));
    bool publish(const QString &topic, const QByteArray &payload, bool retain = false);

    QList<Message> messages() const;
    QList<Message> messages(const QString &topic) const;
    void clear();

private:
    static void onMessage(mosquitto *, void *self, const struct mosquitto_message *message);
    static void onSubscribe(mosquitto *, void *self, int, int, const int *);

    mosquitto *m_mosq = nullptr;
    mutable std::mutex m_mutex;
    QList<Message> m_messages;
    bool m_subscribed = false;
};
