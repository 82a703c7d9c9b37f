#include "SystemCommand.h"

#include <QProcess>
#include <QProcessEnvironment>

SystemCommand::SystemCommand(QObject *parent) : QObject(parent)
{
    m_limit.setSingleShot(true);
    connect(&m_limit, &QTimer::timeout, this, [this] { complete(false); });
}

SystemCommand::~SystemCommand()
{
    if (m_process) {
        m_process->disconnect(this);
        m_process->kill();
        m_process->waitForFinished(100);
        delete m_process;
    }
}

bool SystemCommand::run(const QString &program, const QStringList &arguments, int limitMs)
{
    if (m_process)
        return false;
    m_process = new QProcess;
    // The output is parsed: keep it in the words it has without a locale.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    m_process->setProcessEnvironment(environment);
    m_process->setStandardErrorFile(QProcess::nullDevice());
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        // The other errors end in finished() as well.
        if (error == QProcess::FailedToStart)
            complete(false);
    });
    connect(m_process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this,
            [this](int code, QProcess::ExitStatus status) {
                complete(status == QProcess::NormalExit && code == 0);
            });
    m_limit.start(limitMs);
    m_process->start(program, arguments, QIODevice::ReadOnly);
    return true;
}

void SystemCommand::complete(bool ok)
{
    QProcess *process = m_process;
    m_process = nullptr;
    m_limit.stop();
    process->disconnect(this);
    const QByteArray output = ok ? process->readAllStandardOutput() : QByteArray();
    if (process->state() == QProcess::NotRunning) {
        process->deleteLater();
    } else {
        // Reaped once it is gone; nothing waits for it.
        connect(process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), process,
                &QObject::deleteLater);
        process->kill();
    }
    emit finished(ok, output);
}
