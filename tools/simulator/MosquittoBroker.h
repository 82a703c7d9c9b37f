#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// A real mosquitto broker on a free loopback port, for the duration of a test or a tool's run. It
// can be stopped and started again on the same port; everything it logs is kept.
class MosquittoBroker
{
public:
    // extraConfig: further lines of mosquitto.conf (for example password_file). quiet: only its
    // warnings and errors are logged, not every message it handles (a long or busy run).
    explicit MosquittoBroker(const QStringList &extraConfig = {}, bool quiet = false);
    ~MosquittoBroker();

    bool start();
    void stop();
    // Ends it at once (SIGKILL), as a power cut would: no goodbye to anyone it is connected to.
    void kill();
    bool isRunning() const;
    // Freezes the broker (SIGSTOP) and lets it go on (SIGCONT): it keeps its sockets open and
    // answers nothing meanwhile.
    void pause();
    void resume();

    quint16 port() const { return m_port; }
    QString host() const { return QStringLiteral("127.0.0.1"); }
    QString dir() const { return m_dir.path(); }

    // Every line logged so far, across restarts.
    QStringList log();
    // The topics the broker saw the client subscribe to, in order, across restarts.
    QStringList subscriptions(const QString &clientId);
    // What the client sent, in the order the broker handled it, across restarts: "subscribe "
    // + filter for each subscription, "publish " + topic for each message.
    QStringList requests(const QString &clientId);

    static quint16 freePort();

private:
    QTemporaryDir m_dir;
    quint16 m_port = 0;
    QProcess m_process;
    QStringList m_log;
};
