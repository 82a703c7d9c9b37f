#pragma once

#include "MosquittoClient.h"

#include <QByteArray>
#include <QObject>
#include <QPair>
#include <QString>
#include <QTimer>
#include <QVector>

#include <deque>
#include <memory>

namespace manager {

// The program's one connection to the broker, shared by every manager: connects, retries every
// retryMillis for ever, cuts attempts that hang, remembers every subscription and repeats them
// after each reconnection.
//
// One retry cycle at a time, however often connect() is called: the connection timer runs while
// an attempt is pending (it cuts an attempt that hangs), the reconnection timer while the client
// waits for the next attempt; connect() cancels a pending reconnection.
//
// publish() hands a message to libmosquitto at once while the broker keeps up. When it does not
// (a stalled broker whose connection is not yet known to be lost), at most MaxUnfinished are
// handed over and at most MaxWaiting more wait here, the oldest dropped first with a warning:
// what a unit publishes is state, and the newest state is the one worth sending. Whatever waits
// is dropped, with a warning, when the connection is lost; nothing is kept while disconnected
// (publish() returns false), since every owner republishes its state on connection.
//
// connected() reaches the owners after every recorded subscription has been requested again, so
// that a request an owner sends on connection cannot overtake the subscription for its answer.
class MqttClient : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxUnfinished = 64;
    static constexpr int MaxWaiting = 256;

    explicit MqttClient(QObject *parent = nullptr);
    ~MqttClient() override;

    void setHostname(const QString &hostname) { this->hostname = hostname; }
    void setPort(unsigned int port) { this->port = port; }
    void setUsername(const QString &username) { this->username = username; }
    void setPassword(const QString &password) { this->password = password; }
    void setRetryMillis(unsigned int millis) { retryMillis = int(millis); }
    void setEncrypted(bool encrypted) { this->encrypted = encrypted; }
    void setCleanSession(bool cleanSession) { this->cleanSession = cleanSession; }
    void setClientId(const QString &clientId) { this->clientId = clientId; }
    void setKeepAlive(quint8 seconds) { keepAlive = seconds; }
    void setWillMessage(const QByteArray &message) { willMessage = message; }
    void setWillQoS(quint8 qos) { willQos = qos; }
    void setWillRetain(bool retain) { willRetain = retain; }
    void setWillTopic(const QString &topic) { willTopic = topic; }

    MosquittoClient::ClientState state() const;

signals:
    void connected();
    void disconnected();
    void received(QByteArray data, QByteArray from);
    void error(QString);

public slots:
    void connect();
    void disconnect();
    void subscribe(QString topic, quint8 qos = 0);
    bool publish(QByteArray data, QString topic, quint8 qos = 0, bool retain = false);

private slots:
    void onConnected();
    void onDisconnected();
    void onStateChanged(manager::MosquittoClient::ClientState state);
    void onTimeout();
    void onReconnect();
    void onReceived(QByteArray message, QString topic);
    void onError(manager::MosquittoClient::ClientError e);

private:
    void subscribeOne(const QString &filter, int qos);
    bool send(const QByteArray &data, const QString &topic, quint8 qos, bool retain);
    void sendWaiting();
    void dropWaiting();

    struct Publication
    {
        QByteArray data;
        QString topic;
        quint8 qos;
        bool retain;
    };

    std::unique_ptr<MosquittoClient> client;
    std::unique_ptr<QTimer> connectionTimer;
    std::unique_ptr<QTimer> reconnectTimer; // single-shot, retryMillis after a loss
    QVector<QPair<QString, int>> subsTopics;
    std::deque<Publication> waiting;
    int droppedWhileWaiting = 0;
    QString hostname = QStringLiteral("127.0.0.1");
    quint32 port = 1883;
    QString username;
    QString password;
    int retryMillis = 3000;
    bool encrypted = false;
    bool cleanSession = true;
    QString clientId;
    quint8 keepAlive = 5;
    QByteArray willMessage;
    quint8 willQos = 2;
    bool willRetain = true;
    QString willTopic;
    QString tracedWillTopic; // the will last written to the publication trace
    QByteArray tracedWill;
};

} // namespace manager
