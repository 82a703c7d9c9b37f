#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

class QProcess;

// Runs one system command at a time without blocking the event loop. A command that cannot
// start, exits with an error or outlives its time limit (it is then killed) ends as a failure;
// either way finished() is emitted exactly once per run().
class SystemCommand : public QObject
{
    Q_OBJECT
public:
    explicit SystemCommand(QObject *parent = nullptr);
    ~SystemCommand() override;

    bool isRunning() const { return m_process != nullptr; }
    // program is looked up on PATH. Refused (false, nothing emitted) while a command runs.
    bool run(const QString &program, const QStringList &arguments, int limitMs);

signals:
    // ok: the command exited normally with status 0 in time; output: its standard output.
    void finished(bool ok, const QByteArray &output);

private:
    void complete(bool ok);

    QProcess *m_process = nullptr;
    QTimer m_limit;
};
