#include "MqttClient.h"

#include "Logger.h"
#include "Secrets.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>

namespace manager {

namespace {

// Payloads are only shown at debug level, and "/config" payloads carry the MQTT password: it is
// masked, and nothing is parsed when the line would not be written.
bool debugEnabled()
{
    return QLoggingCategory::defaultCategory()->isDebugEnabled();
}

// PERNIX_MQTT_TRACE=<folder>: every publication (and each will) is appended as one JSON line to
// <folder>/<pid>.jsonl, so that tools/contract/check.py can hold what the program and the
// simulator really send against the topic contract (docs/contract/asyncapi.yaml). Opened once per
// process; without the variable nothing is opened and tracing costs one null test.
QFile *traceFile()
{
    static QFile *const file = []() -> QFile * {
        const QString folder = QString::fromLocal8Bit(qgetenv("PERNIX_MQTT_TRACE"));
        if (folder.isEmpty() || !QDir().mkpath(folder))
            return nullptr;
        auto *f = new QFile(QDir(folder).filePath(
            QString::number(QCoreApplication::applicationPid()) + QStringLiteral(".jsonl")));
        // Unbuffered: each line reaches the file in one write, whole even if the process dies.
        if (!f->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
            delete f;
            return nullptr;
        }
        return f;
    }();
    return file;
}

void trace(const QString &clientId, const QString &topic, const QByteArray &payload, bool retain,
           bool will)
{
    QFile *file = traceFile();
    if (!file)
        return;
    QJsonObject line{{"client", clientId}, {"topic", topic}, {"retain", retain}, {"will", will}};
    const QString text = QString::fromUtf8(payload);
    if (text.toUtf8() == payload)
        line.insert(QStringLiteral("payload"), text);
    else
        line.insert(QStringLiteral("base64"), QString::fromLatin1(payload.toBase64()));
    file->write(QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n');
}

} // namespace

MqttClient::MqttClient(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<MosquittoClient::ClientState>("ClientState");
    qRegisterMetaType<MosquittoClient::ClientError>("ClientError");
}

MqttClient::~MqttClient() = default;

MosquittoClient::ClientState MqttClient::state() const
{
    return client ? client->state() : MosquittoClient::Disconnected;
}

void MqttClient::connect()
{
    LOG_INFO << "[MqttClient] Connecting to host";

    if (!connectionTimer) {
        connectionTimer = std::make_unique<QTimer>();
        connectionTimer->setTimerType(Qt::PreciseTimer);
        QObject::connect(connectionTimer.get(), &QTimer::timeout, this, &MqttClient::onTimeout);
    }
    if (!reconnectTimer) {
        reconnectTimer = std::make_unique<QTimer>();
        reconnectTimer->setTimerType(Qt::PreciseTimer);
        reconnectTimer->setSingleShot(true);
        QObject::connect(reconnectTimer.get(), &QTimer::timeout, this, &MqttClient::onReconnect);
    }
    // This attempt replaces any reconnection still pending: one retry cycle, whatever the
    // number of calls.
    reconnectTimer->stop();
    LOG_DEBUG << "[MqttClient] Applying client configuration:";
    LOG_DEBUG << "[MqttClient] Retry interval millis: " << retryMillis;
    connectionTimer->setInterval(retryMillis);
    reconnectTimer->setInterval(retryMillis);

    if (!client) {
        client = std::make_unique<MosquittoClient>();
        MosquittoClient *c = client.get();
        // connected() is emitted by onConnected, once the subscriptions are renewed.
        QObject::connect(c, &MosquittoClient::connected, this, &MqttClient::onConnected);
        QObject::connect(c, &MosquittoClient::disconnected, this, &MqttClient::disconnected);
        QObject::connect(c, &MosquittoClient::disconnected, this, &MqttClient::onDisconnected);
        QObject::connect(c, &MosquittoClient::errorChanged, this, &MqttClient::onError);
        QObject::connect(c, &MosquittoClient::stateChanged, this, &MqttClient::onStateChanged);
        QObject::connect(c, &MosquittoClient::messageReceived, this, &MqttClient::onReceived);
        QObject::connect(c, &MosquittoClient::published, this, &MqttClient::sendWaiting);
    }
    LOG_DEBUG << "[MqttClient] Applying client configuration:";
    LOG_DEBUG << "[MqttClient] Hostname: " << hostname;
    LOG_DEBUG << "[MqttClient] Port    : " << port;
    LOG_DEBUG << "[MqttClient] Username: " << username;
    LOG_DEBUG << "[MqttClient] CleanSession: " << boolText(cleanSession);
    LOG_DEBUG << "[MqttClient] Client Id   : " << clientId;
    LOG_DEBUG << "[MqttClient] Keepalive   : " << int(keepAlive);
    LOG_DEBUG << "[MqttClient] Will Message: " << willMessage;
    LOG_DEBUG << "[MqttClient] Will QoS    : " << int(willQos);
    LOG_DEBUG << "[MqttClient] Will Retain : " << boolText(willRetain);
    LOG_DEBUG << "[MqttClient] Will Topic  : " << willTopic;
    client->setHostname(hostname);
    client->setPort(quint16(port));
    client->setUsername(username);
    client->setPassword(password);
    client->setCleanSession(cleanSession);
    client->setClientId(clientId);
    client->setKeepAlive(keepAlive);
    client->setWillMessage(willMessage);
    client->setWillQoS(willQos);
    client->setWillRetain(willRetain);
    client->setWillTopic(willTopic);
    if (!willTopic.isEmpty() && (willTopic != tracedWillTopic || willMessage != tracedWill)) {
        tracedWillTopic = willTopic;
        tracedWill = willMessage;
        trace(clientId, willTopic, willMessage, willRetain, true);
    }

    if (encrypted)
        LOG_WARNING << "[MqttClient] Encryption not yet supported";

    client->connectToHost();
}

void MqttClient::disconnect()
{
    LOG_INFO << "[MqttClient] Disconnecting from host";
    if (client)
        client->disconnectFromHost();
}

void MqttClient::subscribe(QString topic, quint8 qos)
{
    subsTopics.append({topic, qos});
    if (client && client->state() == MosquittoClient::Connected)
        subscribeOne(topic, qos);
}

void MqttClient::subscribeOne(const QString &filter, int qos)
{
    LOG_INFO << "[MqttClient] Subscribing to '" << filter << "' with QoS = " << qos;
    if (!client->subscribe(filter, quint8(qos)))
        emit error(QStringLiteral("Subscription to ") + filter + QStringLiteral(" failed."));
}

bool MqttClient::publish(QByteArray data, QString topic, quint8 qos, bool retain)
{
    if (!client || client->state() != MosquittoClient::Connected)
        return false;
    if (waiting.empty() && client->unfinishedPublications() < MaxUnfinished)
        return send(data, topic, qos, retain);

    if (int(waiting.size()) >= MaxWaiting) {
        if (droppedWhileWaiting == 0)
            LOG_WARNING << "[MqttClient] WARN: Broker not keeping up, dropping the oldest "
                           "waiting publications (first to '"
                        << waiting.front().topic << "')";
        ++droppedWhileWaiting;
        waiting.pop_front();
    }
    waiting.push_back({data, topic, qos, retain});
    return true;
}

bool MqttClient::send(const QByteArray &data, const QString &topic, quint8 qos, bool retain)
{
    if (debugEnabled()) {
        LOG_DEBUG << "[MqttClient] Publishing to topic '" << topic << "' with Qos = " << int(qos)
                  << " and Retain = " << boolText(retain) << ":\n"
                  << secrets::maskedJson(data);
    }
    if (client->publish(topic, data, qos, retain) != -1) {
        trace(clientId, topic, data, retain, false);
        return true;
    }
    emit error(QStringLiteral("Publish to ") + topic + QStringLiteral(" failed."));
    return false;
}

void MqttClient::sendWaiting()
{
    while (!waiting.empty() && client && client->state() == MosquittoClient::Connected &&
           client->unfinishedPublications() < MaxUnfinished) {
        const Publication next = std::move(waiting.front());
        waiting.pop_front();
        send(next.data, next.topic, next.qos, next.retain);
    }
    if (waiting.empty() && droppedWhileWaiting > 0) {
        LOG_WARNING << "[MqttClient] WARN: " << droppedWhileWaiting
                    << " publications dropped while the broker was not keeping up";
        droppedWhileWaiting = 0;
    }
}

void MqttClient::dropWaiting()
{
    const int dropped = int(waiting.size()) + droppedWhileWaiting;
    waiting.clear();
    droppedWhileWaiting = 0;
    if (dropped > 0)
        LOG_WARNING << "[MqttClient] WARN: " << dropped
                    << " publications dropped with the lost connection";
}

void MqttClient::onConnected()
{
    LOG_INFO << "[MqttClient] Connected to broker " << hostname;
    // A copy: a slot reacting to error() may subscribe while we iterate.
    const auto topics = subsTopics;
    for (const auto &entry : topics) {
        if (!client || client->state() != MosquittoClient::Connected)
            break;
        subscribeOne(entry.first, entry.second);
    }
    // Only now the owners: a request they send on connection goes out after the subscription
    // that receives its answer. Not when the connection was lost meanwhile (they have been told).
    if (client && client->state() == MosquittoClient::Connected)
        emit connected();
}

void MqttClient::onDisconnected()
{
    dropWaiting();
    LOG_INFO << "[MqttClient] Disconnected from broker " << hostname;
}

void MqttClient::onStateChanged(MosquittoClient::ClientState state)
{
    switch (state) {
    case MosquittoClient::Connecting:
        LOG_DEBUG << "[MqttClient] State is Connecting.";
        reconnectTimer->stop();
        connectionTimer->start();
        break;
    case MosquittoClient::Connected:
        LOG_DEBUG << "[MqttClient] State is Connected.";
        reconnectTimer->stop();
        connectionTimer->stop();
        break;
    case MosquittoClient::Disconnected:
        LOG_DEBUG << "[MqttClient] State is Disconnected.";
        // The attempt is over; the next one comes retryMillis from now (restarted, never added).
        connectionTimer->stop();
        reconnectTimer->start();
        break;
    }
}

void MqttClient::onTimeout()
{
    client->closeTransport();
}

void MqttClient::onReconnect()
{
    if (client && client->state() == MosquittoClient::Disconnected)
        connect();
}

void MqttClient::onReceived(QByteArray message, QString topic)
{
    if (debugEnabled()) {
        LOG_DEBUG << "[MqttClient] Received on topic: " << topic << "\n"
                  << secrets::maskedJson(message);
    }
    emit received(message, topic.toUtf8());
}

void MqttClient::onError(MosquittoClient::ClientError e)
{
    QString text;
    switch (e) {
    case MosquittoClient::NoError:
        return;
    case MosquittoClient::InvalidProtocolVersion:
        text = QStringLiteral("Invalid protocol version: ") +
               QString::number(client->protocolVersion()) +
               QStringLiteral(". Broker does not accept a connection using the "
                              "specified protocol version.");
        break;
    case MosquittoClient::IdRejected:
        text = QStringLiteral("Id rejected: ") + client->clientId() +
               QStringLiteral(". The client ID is malformed. This might be related to "
                              "its length.");
        break;
    case MosquittoClient::ServerUnavailable:
        text = QStringLiteral("Server unavailable: ") + client->hostname() + QStringLiteral(":") +
               QString::number(client->port()) +
               QStringLiteral(". The network connection has been established, but the "
                              "service is unavailable on the broker side.");
        break;
    case MosquittoClient::BadUsernameOrPassword:
        text = QStringLiteral("Bad username or password. The data in the username or "
                              "password is malformed.");
        break;
    case MosquittoClient::NotAuthorized:
        text = QStringLiteral("Not authorized: ") + client->clientId() +
               QStringLiteral(". The client is not authorized to connect.");
        break;
    case MosquittoClient::TransportInvalid:
        text = QStringLiteral("Transport invalid: The underlying transport caused an error. For "
                              "example, the connection might have been interrupted "
                              "unexpectedly.");
        break;
    case MosquittoClient::ProtocolViolation:
        text = QStringLiteral("Protocol violation:The client encountered a protocol violation, "
                              "and therefore closed the connection.");
        break;
    default:
        text = QStringLiteral("Unknown error.");
        break;
    }
    LOG_WARNING << "[MqttClient] " << text;
    emit error(QStringLiteral("Mqtt client error"));
}

} // namespace manager
