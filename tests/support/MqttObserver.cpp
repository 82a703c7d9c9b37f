#include "MqttObserver.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <mosquitto.h>

MqttObserver::MqttObserver(const QString &clientId)
{
    mosquitto_lib_init();
    m_mosq = mosquitto_new(clientId.toUtf8().constData(), true, this);
    mosquitto_message_callback_set(m_mosq, onMessage);
    mosquitto_subscribe_callback_set(m_mosq, onSubscribe);
}

MqttObserver::~MqttObserver()
{
    // The thread ends by itself once disconnected. Cancelling it instead could stop it between
    // taking in a message and freeing it (a large one arriving as the test ends).
    mosquitto_disconnect(m_mosq);
    mosquitto_loop_stop(m_mosq, false);
    mosquitto_destroy(m_mosq);
}

void MqttObserver::setCredentials(const QString &username, const QString &password)
{
    mosquitto_username_pw_set(m_mosq, username.toUtf8().constData(), password.toUtf8().constData());
}

bool MqttObserver::connectTo(const QString &host, quint16 port, int timeoutMs,
                             const QString &filter)
{
    if (mosquitto_connect(m_mosq, host.toUtf8().constData(), port, 60) != MOSQ_ERR_SUCCESS)
        return false;
    if (mosquitto_subscribe(m_mosq, nullptr, filter.toUtf8().constData(), 2) != MOSQ_ERR_SUCCESS)
        return false;
    if (mosquitto_loop_start(m_mosq) != MOSQ_ERR_SUCCESS)
        return false;
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_subscribed)
                return true;
        }
        // The event loop goes on meanwhile: a broker started by this process writes its log into
        // a pipe that only the event loop empties, and stops when the pipe is full.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return false;
}

bool MqttObserver::publish(const QString &topic, const QByteArray &payload, bool retain)
{
    return mosquitto_publish(m_mosq, nullptr, topic.toUtf8().constData(), payload.size(),
                             payload.constData(), 1, retain) == MOSQ_ERR_SUCCESS;
}

void MqttObserver::onMessage(mosquitto *, void *self, const mosquitto_message *message)
{
    auto *observer = static_cast<MqttObserver *>(self);
    Message m{QString::fromUtf8(message->topic),
              QByteArray(static_cast<const char *>(message->payload), message->payloadlen),
              message->qos, message->retain};
    std::lock_guard<std::mutex> lock(observer->m_mutex);
    observer->m_messages.append(m);
}

void MqttObserver::onSubscribe(mosquitto *, void *self, int, int, const int *)
{
    auto *observer = static_cast<MqttObserver *>(self);
    std::lock_guard<std::mutex> lock(observer->m_mutex);
    observer->m_subscribed = true;
}

QList<MqttObserver::Message> MqttObserver::messages() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_messages;
}

QList<MqttObserver::Message> MqttObserver::messages(const QString &topic) const
{
    QList<Message> result;
    for (const Message &m : messages()) {
        if (m.topic == topic)
            result.append(m);
    }
    return result;
}

void MqttObserver::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_messages.clear();
}
