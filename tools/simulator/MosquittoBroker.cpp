#include "MosquittoBroker.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextStream>
#include <QThread>

#include <signal.h>

MosquittoBroker::MosquittoBroker(const QStringList &extraConfig, bool quiet) : m_port(freePort())
{
    QFile conf(m_dir.filePath(QStringLiteral("mosquitto.conf")));
    conf.open(QIODevice::WriteOnly);
    QTextStream out(&conf);
    out << "listener " << m_port << " 127.0.0.1\n"
        << "persistence false\n"
        << "log_dest stdout\n"
        << (quiet ? "log_type error\nlog_type warning\n" : "log_type all\n")
        // Started as root, mosquitto would switch to its own user and lose our files.
        << "user root\n";
    if (!extraConfig.join('\n').contains(QLatin1String("allow_anonymous")))
        out << "allow_anonymous true\n";
    for (const QString &line : extraConfig)
        out << line << '\n';
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

MosquittoBroker::~MosquittoBroker()
{
    stop();
}

quint16 MosquittoBroker::freePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

bool MosquittoBroker::start()
{
    // Line-buffered, so that the log can be read while the broker runs.
    m_process.start(QStringLiteral("stdbuf"),
                    {QStringLiteral("-oL"), QStringLiteral("mosquitto"), QStringLiteral("-c"),
                     m_dir.filePath(QStringLiteral("mosquitto.conf"))});
    if (!m_process.waitForStarted(5000))
        return false;
    // Ready once it accepts connections.
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, m_port);
        if (probe.waitForConnected(200))
            return true;
        if (m_process.state() != QProcess::Running)
            return false;
        QThread::msleep(50);
    }
    return false;
}

void MosquittoBroker::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    log();
}

void MosquittoBroker::kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
    log();
}

void MosquittoBroker::pause()
{
    ::kill(pid_t(m_process.processId()), SIGSTOP);
}

void MosquittoBroker::resume()
{
    ::kill(pid_t(m_process.processId()), SIGCONT);
}

bool MosquittoBroker::isRunning() const
{
    return m_process.state() == QProcess::Running;
}

QStringList MosquittoBroker::log()
{
    const QString text = QString::fromUtf8(m_process.readAll());
    for (const QString &line : text.split('\n', Qt::SkipEmptyParts))
        m_log.append(line);
    return m_log;
}

QStringList MosquittoBroker::subscriptions(const QString &clientId)
{
    QStringList topics;
    for (const QString &request : requests(clientId)) {
        if (request.startsWith(QLatin1String("subscribe ")))
            topics.append(request.mid(10));
    }
    return topics;
}

QStringList MosquittoBroker::requests(const QString &clientId)
{
    // Lines of the form "<time>: <client id> <qos> <topic>" (a subscription granted) and
    // "<time>: Received PUBLISH from <client id> (d0, q0, r0, m0, '<topic>', ... (n bytes))".
    QStringList requests;
    const QString marker = QStringLiteral(": ") + clientId + QLatin1Char(' ');
    const QString published =
        QStringLiteral(": Received PUBLISH from ") + clientId + QStringLiteral(" (");
    for (const QString &line : log()) {
        int at = line.indexOf(published);
        if (at >= 0) {
            const int begin = line.indexOf(QLatin1Char('\''), at) + 1;
            const int end = line.indexOf(QStringLiteral("', "), begin);
            if (begin > 0 && end >= begin)
                requests.append(QStringLiteral("publish ") + line.mid(begin, end - begin));
            continue;
        }
        at = line.indexOf(marker);
        if (at < 0)
            continue;
        const QStringList rest = line.mid(at + marker.size()).split(' ');
        if (rest.size() == 2 && rest[0].size() == 1 && rest[0][0].isDigit())
            requests.append(QStringLiteral("subscribe ") + rest[1]);
    }
    return requests;
}
