#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QHostInfo>
#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>

struct mosquitto;
struct mosquitto_message;
class QSocketNotifier;

namespace manager {

// One MQTT 3.1.1 connection on libmosquitto, driven by the Qt event loop of the thread it lives
// in: socket notifiers for reading and writing, a timer for keep-alive, a host lookup that does
// not block. States and error codes are those of a QMqttClient.
//
// libmosquitto's callbacks only queue what happened; the queue is turned into signals after the
// library call returns, so slots may call back into this object (publish, reconnect) safely.
class MosquittoClient : public QObject
{
    Q_OBJECT
public:
    enum ClientState { Disconnected = 0, Connecting, Connected };
    Q_ENUM(ClientState)

    enum ClientError {
        NoError = 0,
        InvalidProtocolVersion = 1,
        IdRejected = 2,
        ServerUnavailable = 3,
        BadUsernameOrPassword = 4,
        NotAuthorized = 5,
        TransportInvalid = 256,
        ProtocolViolation = 257,
        UnknownError = 258,
    };
    Q_ENUM(ClientError)

    explicit MosquittoClient(QObject *parent = nullptr);
    ~MosquittoClient() override;

    // Settings take effect at the next connectToHost().
    void setHostname(const QString &hostname) { m_hostname = hostname; }
    QString hostname() const { return m_hostname; }
    void setPort(quint16 port) { m_port = port; }
    quint16 port() const { return m_port; }
    void setUsername(const QString &username) { m_username = username; }
    QString username() const { return m_username; }
    void setPassword(const QString &password) { m_password = password; }
    void setCleanSession(bool cleanSession) { m_cleanSession = cleanSession; }
    bool cleanSession() const { return m_cleanSession; }
    void setClientId(const QString &clientId) { m_clientId = clientId; }
    QString clientId() const { return m_clientId; }
    void setKeepAlive(quint16 seconds) { m_keepAlive = seconds; }
    quint16 keepAlive() const { return m_keepAlive; }
    void setWillMessage(const QByteArray &message) { m_willMessage = message; }
    void setWillQoS(quint8 qos) { m_willQos = qos; }
    void setWillRetain(bool retain) { m_willRetain = retain; }
    void setWillTopic(const QString &topic) { m_willTopic = topic; }
    int protocolVersion() const { return 4; } // MQTT 3.1.1

    ClientState state() const { return m_state; }
    ClientError error() const { return m_error; }

    // Starts a connection attempt with the current settings; an existing connection or attempt
    // is ended first, so new settings always apply.
    void connectToHost();
    // Orderly disconnect: the broker does not publish the will.
    void disconnectFromHost();
    // Drops the connection or the attempt at once, without a DISCONNECT packet.
    void closeTransport();

    // Both require the Connected state. subscribe returns false when the request could not be
    // sent; publish returns the message id, or -1.
    bool subscribe(const QString &filter, quint8 qos);
    int publish(const QString &topic, const QByteArray &message, quint8 qos, bool retain);
    // Publications handed to libmosquitto and not yet written out (QoS 0) or acknowledged (QoS 1
    // and 2) on this connection; they are lost with it.
    int unfinishedPublications() const { return m_unfinished; }

signals:
    void connected();
    void disconnected();
    void stateChanged(manager::MosquittoClient::ClientState state);
    void errorChanged(manager::MosquittoClient::ClientError error);
    void messageReceived(const QByteArray &message, const QString &topic);
    // One publication left the client for good (see unfinishedPublications()).
    void published();

private slots:
    void onHostLookedUp(const QHostInfo &info);

private:
    struct Event
    {
        enum Type { Connack, Lost, Message, Published } type;
        int code = 0;
        QString topic;
        QByteArray payload;
    };

    static void onConnectCallback(mosquitto *, void *self, int rc);
    static void onDisconnectCallback(mosquitto *, void *self, int rc);
    static void onMessageCallback(mosquitto *, void *self, const mosquitto_message *message);
    static void onPublishCallback(mosquitto *, void *self, int mid);

    bool resetHandle();
    void connectTo(const QList<QHostAddress> &addresses);
    void afterCall(int rc = 0);
    int readPackets();
    void syncNotifiers();
    void dropNotifiers();
    void dispatchEvents();
    void dropConnection(ClientError error);
    void connectionLost(ClientError error);
    void setState(ClientState state);
    void setError(ClientError error);
    static ClientError errorOfLoss(int rc);

    mosquitto *m_mosq = nullptr;
    QString m_hostname = QStringLiteral("127.0.0.1");
    quint16 m_port = 1883;
    QString m_username;
    QString m_password;
    bool m_cleanSession = true;
    QString m_clientId;
    quint16 m_keepAlive = 60;
    QByteArray m_willMessage;
    quint8 m_willQos = 0;
    bool m_willRetain = false;
    QString m_willTopic;

    ClientState m_state = Disconnected;
    ClientError m_error = NoError;
    ClientError m_refusal = NoError; // CONNACK refusal, reported with the loss that follows it
    int m_lookupId = -1;
    int m_unfinished = 0;
    int m_socket = -1;
    bool m_socketStale = false; // the descriptor may have been closed and its number reused
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QTimer m_miscTimer;
    std::deque<Event> m_events;
    bool m_dispatching = false;
};

} // namespace manager
