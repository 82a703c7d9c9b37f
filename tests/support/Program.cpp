#include "Program.h"

#include <QFile>

Program::Program(const QStringList &args, const QMap<QString, QByteArray> &files,
                 const QMap<QString, QString> &environment)
{
    for (auto file = files.cbegin(); file != files.cend(); ++file) {
        QFile out(m_dir.filePath(file.key()));
        if (out.open(QIODevice::WriteOnly))
            out.write(file.value());
    }
    m_process.setWorkingDirectory(m_dir.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PERNIX_EVENT_LOG", m_dir.filePath("events.ini"));
    for (auto variable = environment.cbegin(); variable != environment.cend(); ++variable)
        env.insert(variable.key(), variable.value());
    m_process.setProcessEnvironment(env);
    m_process.start(PERNIX_BINARY, args);
}

Program::~Program()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

QString Program::log()
{
    m_err += QString::fromUtf8(m_process.readAllStandardError());
    return m_err;
}

int Program::count(const QString &text)
{
    return log().count(text);
}

QString Program::screenLine(const QString &screen)
{
    return QStringLiteral("[GUIManager] Setting screen : ") + screen;
}

QString Program::lastScreen()
{
    const QString text = log();
    const QString marker = screenLine(QString());
    const int at = text.lastIndexOf(marker);
    if (at < 0)
        return QString();
    const int start = at + marker.size();
    int end = start;
    while (end < text.size() && !text.at(end).isSpace())
        ++end;
    return text.mid(start, end - start);
}
