#include "MosquittoClient.h"

#include "Logger.h"

#include <QPointer>
#include <QSocketNotifier>

#include <mosquitto.h>

#include <algorithm>

#include <sys/ioctl.h>

namespace manager {

namespace {

// Keep-alive below 5 s is refused by libmosquitto.
constexpr int MinKeepAlive = 5;
// mosquitto_loop_misc sends PINGREQ and notices a lost keep-alive.
constexpr int MiscIntervalMs = 1000;
// libmosquitto reads one packet per call. Packets already waiting in the socket are read in the
// same wake-up, up to this many, so that a chatty service costs no poll and no event dispatch
// per message, and the screen still gets its turn during a flood.
constexpr int MaxPacketsPerRead = 128;

bool bytesWaiting(int socket)
{
    int pending = 0;
    return ::ioctl(socket, FIONREAD, &pending) == 0 && pending > 0;
}

void initLibrary()
{
    struct Library
    {
        Library() { mosquitto_lib_init(); }
        ~Library() { mosquitto_lib_cleanup(); }
    };
    static Library library;
}

QByteArray utf8OrNull(const QString &text)
{
    return text.isEmpty() ? QByteArray() : text.toUtf8();
}

const char *dataOrNull(const QByteArray &bytes)
{
    return bytes.isNull() ? nullptr : bytes.constData();
}

} // namespace

MosquittoClient::MosquittoClient(QObject *parent) : QObject(parent)
{
    initLibrary();
    m_mosq = mosquitto_new(nullptr, true, this);
    m_miscTimer.setInterval(MiscIntervalMs);
    QObject::connect(&m_miscTimer, &QTimer::timeout, this, [this] {
        if (m_socket >= 0)
            afterCall(mosquitto_loop_misc(m_mosq));
    });
}

MosquittoClient::~MosquittoClient()
{
    if (m_lookupId >= 0)
        QHostInfo::abortHostLookup(m_lookupId);
    dropNotifiers();
    // Closes the socket without a DISCONNECT packet: the broker publishes the will.
    if (m_mosq)
        mosquitto_destroy(m_mosq);
}

bool MosquittoClient::resetHandle()
{
    dropNotifiers();
    m_events.clear();
    m_socketStale = true;
    m_unfinished = 0; // re-initialising frees whatever was still queued

    // Re-initialising keeps the object and closes any socket silently; the id and the session
    // flag can only be given here.
    const QByteArray id = utf8OrNull(m_clientId);
    int rc = mosquitto_reinitialise(m_mosq, dataOrNull(id), m_cleanSession, this);
    if (rc != MOSQ_ERR_SUCCESS) {
        LOG_WARNING << "[MqttClient] Client id " << m_clientId
                    << " not usable: " << mosquitto_strerror(rc);
        return false;
    }
    mosquitto_connect_callback_set(m_mosq, onConnectCallback);
    mosquitto_disconnect_callback_set(m_mosq, onDisconnectCallback);
    mosquitto_message_callback_set(m_mosq, onMessageCallback);
    mosquitto_publish_callback_set(m_mosq, onPublishCallback);
    mosquitto_int_option(m_mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);

    if (!m_username.isEmpty()) {
        const QByteArray user = m_username.toUtf8();
        const QByteArray password = utf8OrNull(m_password);
        rc = mosquitto_username_pw_set(m_mosq, user.constData(), dataOrNull(password));
        if (rc != MOSQ_ERR_SUCCESS)
            LOG_WARNING << "[MqttClient] User name not usable: " << mosquitto_strerror(rc);
    }
    if (!m_willTopic.isEmpty()) {
        const QByteArray topic = m_willTopic.toUtf8();
        rc = mosquitto_will_set(m_mosq, topic.constData(), m_willMessage.size(),
                                m_willMessage.constData(), m_willQos, m_willRetain);
        if (rc != MOSQ_ERR_SUCCESS)
            LOG_WARNING << "[MqttClient] Will topic " << m_willTopic
                        << " not usable: " << mosquitto_strerror(rc);
    }
    return true;
}

void MosquittoClient::connectToHost()
{
    disconnectFromHost(); // so that new settings always apply
    m_refusal = NoError;
    setState(Connecting);
    if (!resetHandle()) {
        connectionLost(IdRejected);
        return;
    }

    QHostAddress address;
    if (address.setAddress(m_hostname)) {
        connectTo({address});
        return;
    }
    // libmosquitto resolves names synchronously; resolve them first without blocking.
    m_lookupId = QHostInfo::lookupHost(m_hostname, this, SLOT(onHostLookedUp(QHostInfo)));
}

void MosquittoClient::onHostLookedUp(const QHostInfo &info)
{
    if (info.lookupId() != m_lookupId || m_state != Connecting)
        return;
    m_lookupId = -1;
    if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
        LOG_DEBUG << "[MqttClient] Host lookup of " << m_hostname
                  << " failed: " << info.errorString();
        connectionLost(TransportInvalid);
        return;
    }
    QList<QHostAddress> addresses = info.addresses();
    std::stable_sort(addresses.begin(), addresses.end(),
                     [](const QHostAddress &a, const QHostAddress &b) {
                         return a.protocol() == QAbstractSocket::IPv4Protocol &&
                                b.protocol() != QAbstractSocket::IPv4Protocol;
                     });
    connectTo(addresses);
}

void MosquittoClient::connectTo(const QList<QHostAddress> &addresses)
{
    const int keepAlive = std::max<int>(m_keepAlive, MinKeepAlive);
    for (const QHostAddress &address : addresses) {
        const QByteArray host = address.toString().toUtf8();
        m_socketStale = true;
        const int rc = mosquitto_connect_async(m_mosq, host.constData(), m_port, keepAlive);
        if (rc == MOSQ_ERR_SUCCESS) {
            m_miscTimer.start();
            afterCall();
            return;
        }
        // A refused connection fails at once; try the next address.
        LOG_DEBUG << "[MqttClient] Connection to " << address.toString() << ":" << m_port
                  << " failed: " << mosquitto_strerror(rc);
    }
    syncNotifiers();
    connectionLost(TransportInvalid);
}

void MosquittoClient::disconnectFromHost()
{
    if (m_state == Connected) {
        mosquitto_disconnect(m_mosq); // reports the loss synchronously, with code 0
        afterCall();
    }
    // Still looking up or connecting (or inside a dispatch): nothing to say to the broker.
    if (m_state != Disconnected)
        dropConnection(NoError);
}

void MosquittoClient::closeTransport()
{
    if (m_state != Disconnected)
        dropConnection(TransportInvalid);
}

void MosquittoClient::dropConnection(ClientError error)
{
    if (m_lookupId >= 0)
        QHostInfo::abortHostLookup(m_lookupId);
    m_lookupId = -1;
    resetHandle();
    connectionLost(error);
}

bool MosquittoClient::subscribe(const QString &filter, quint8 qos)
{
    if (m_state != Connected)
        return false;
    const QByteArray topic = filter.toUtf8();
    const int rc = mosquitto_subscribe(m_mosq, nullptr, topic.constData(), qos);
    afterCall(rc);
    return rc == MOSQ_ERR_SUCCESS;
}

int MosquittoClient::publish(const QString &topic, const QByteArray &message, quint8 qos,
                             bool retain)
{
    if (m_state != Connected)
        return -1;
    const QByteArray name = topic.toUtf8();
    int mid = 0;
    const int rc = mosquitto_publish(m_mosq, &mid, name.constData(), message.size(),
                                     message.constData(), qos, retain);
    // Counted before the call's events are dispatched: a QoS 0 message written at once reports
    // its completion from inside mosquitto_publish.
    if (rc == MOSQ_ERR_SUCCESS)
        ++m_unfinished;
    afterCall(rc);
    return rc == MOSQ_ERR_SUCCESS ? mid : -1;
}

void MosquittoClient::onConnectCallback(mosquitto *, void *self, int rc)
{
    static_cast<MosquittoClient *>(self)->m_events.push_back({Event::Connack, rc, {}, {}});
}

void MosquittoClient::onDisconnectCallback(mosquitto *, void *self, int rc)
{
    static_cast<MosquittoClient *>(self)->m_events.push_back({Event::Lost, rc, {}, {}});
}

void MosquittoClient::onMessageCallback(mosquitto *, void *self, const mosquitto_message *message)
{
    Event event{Event::Message, 0, QString::fromUtf8(message->topic),
                QByteArray(static_cast<const char *>(message->payload), message->payloadlen)};
    static_cast<MosquittoClient *>(self)->m_events.push_back(std::move(event));
}

void MosquittoClient::onPublishCallback(mosquitto *, void *self, int)
{
    static_cast<MosquittoClient *>(self)->m_events.push_back({Event::Published, 0, {}, {}});
}

void MosquittoClient::afterCall(int rc)
{
    // A failed call that closed the socket without telling us is still a loss.
    const bool lossQueued = std::any_of(m_events.begin(), m_events.end(),
                                        [](const Event &e) { return e.type == Event::Lost; });
    if (rc != MOSQ_ERR_SUCCESS && !lossQueued && m_state != Disconnected &&
        mosquitto_socket(m_mosq) < 0) {
        m_events.push_back({Event::Lost, rc, {}, {}});
    }
    syncNotifiers();
    dispatchEvents();
}

int MosquittoClient::readPackets()
{
    int rc = MOSQ_ERR_SUCCESS;
    for (int i = 0; i < MaxPacketsPerRead; ++i) {
        rc = mosquitto_loop_read(m_mosq, 1);
        const int socket = mosquitto_socket(m_mosq);
        if (rc != MOSQ_ERR_SUCCESS || socket < 0 || !bytesWaiting(socket))
            break;
    }
    return rc;
}

void MosquittoClient::syncNotifiers()
{
    const int socket = mosquitto_socket(m_mosq);
    if (socket != m_socket || m_socketStale) {
        dropNotifiers();
        m_socket = socket;
        m_socketStale = false;
        if (socket >= 0) {
            m_readNotifier = new QSocketNotifier(socket, QSocketNotifier::Read, this);
            QObject::connect(m_readNotifier, &QSocketNotifier::activated, this,
                             [this] { afterCall(readPackets()); });
            m_writeNotifier = new QSocketNotifier(socket, QSocketNotifier::Write, this);
            QObject::connect(m_writeNotifier, &QSocketNotifier::activated, this,
                             [this] { afterCall(mosquitto_loop_write(m_mosq, 1)); });
        }
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(mosquitto_want_write(m_mosq));
}

void MosquittoClient::dropNotifiers()
{
    // Disabled at once so that a closed (or reused) descriptor is never polled again.
    for (QSocketNotifier **notifier : {&m_readNotifier, &m_writeNotifier}) {
        if (*notifier) {
            (*notifier)->setEnabled(false);
            (*notifier)->deleteLater();
            *notifier = nullptr;
        }
    }
    m_socket = -1;
}

void MosquittoClient::dispatchEvents()
{
    if (m_dispatching)
        return; // the outer dispatch picks up what slots caused
    m_dispatching = true;
    QPointer<MosquittoClient> alive(this);
    while (!m_events.empty()) {
        Event event = std::move(m_events.front());
        m_events.pop_front();
        switch (event.type) {
        case Event::Connack:
            if (event.code == 0) {
                setState(Connected);
                if (alive)
                    setError(NoError);
            } else {
                // CONNACK return codes 1 to 5 are the first error codes.
                m_refusal = event.code >= InvalidProtocolVersion && event.code <= NotAuthorized
                                ? ClientError(event.code)
                                : UnknownError;
            }
            break;
        case Event::Lost:
            m_socketStale = true;
            syncNotifiers();
            connectionLost(m_refusal != NoError ? m_refusal : errorOfLoss(event.code));
            break;
        case Event::Message:
            if (m_state == Connected)
                emit messageReceived(event.payload, event.topic);
            break;
        case Event::Published:
            if (m_unfinished > 0) {
                --m_unfinished;
                emit published();
            }
            break;
        }
        if (!alive)
            return;
    }
    m_dispatching = false;
}

void MosquittoClient::connectionLost(ClientError error)
{
    m_refusal = NoError;
    m_miscTimer.stop();
    m_unfinished = 0;
    QPointer<MosquittoClient> alive(this);
    setState(Disconnected);
    if (alive && error != NoError)
        setError(error);
}

MosquittoClient::ClientError MosquittoClient::errorOfLoss(int rc)
{
    switch (rc) {
    case MOSQ_ERR_SUCCESS:
        return NoError; // our own disconnect
    case MOSQ_ERR_NO_CONN:
    case MOSQ_ERR_CONN_LOST:
    case MOSQ_ERR_ERRNO:
    case MOSQ_ERR_EAI:
    case MOSQ_ERR_KEEPALIVE:
    case MOSQ_ERR_CONN_REFUSED:
        return TransportInvalid;
    case MOSQ_ERR_PROTOCOL:
    case MOSQ_ERR_MALFORMED_PACKET:
    case MOSQ_ERR_DUPLICATE_PROPERTY:
    case MOSQ_ERR_QOS_NOT_SUPPORTED:
    case MOSQ_ERR_OVERSIZE_PACKET:
        return ProtocolViolation;
    default:
        return UnknownError;
    }
}

void MosquittoClient::setState(ClientState state)
{
    if (m_state == state)
        return;
    m_state = state;
    QPointer<MosquittoClient> alive(this);
    emit stateChanged(state);
    if (!alive)
        return;
    if (state == Connected)
        emit connected();
    else if (state == Disconnected)
        emit disconnected();
}

void MosquittoClient::setError(ClientError error)
{
    if (m_error == error)
        return;
    m_error = error;
    emit errorChanged(error);
}

} // namespace manager
