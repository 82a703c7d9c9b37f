#pragma once

#include <QByteArray>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// The real program in a scratch working directory, its standard error collected.
class Program
{
public:
    // files: written into the working directory (name, content) before the program starts;
    // environment: variables set for it on top of the test's own.
    explicit Program(const QStringList &args, const QMap<QString, QByteArray> &files = {},
                     const QMap<QString, QString> &environment = {});
    ~Program();

    // Everything it has written to standard error so far.
    QString log();
    int count(const QString &text);
    // The log line of the program setting a screen ("Valid", "ScanScreens"...), and the screen it
    // set last.
    static QString screenLine(const QString &screen);
    QString lastScreen();
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QProcess &process() { return m_process; }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_err;
};
