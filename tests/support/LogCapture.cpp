#include "LogCapture.h"

namespace {
LogCapture *current = nullptr;
}

LogCapture::LogCapture()
{
    current = this;
    m_clock.start();
    m_previous = qInstallMessageHandler(handler);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(m_previous);
    current = nullptr;
}

int LogCapture::countStartingWith(const QString &prefix) const
{
    int n = 0;
    for (const QString &line : m_lines)
        n += line.startsWith(prefix) ? 1 : 0;
    return n;
}

QList<double> LogCapture::times(const QString &line) const
{
    QList<double> result;
    for (int i = 0; i < m_lines.size(); ++i) {
        if (m_lines.at(i) == line)
            result.append(m_times.at(i));
    }
    return result;
}

void LogCapture::handler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (!current)
        return;
    current->m_lines.append(text);
    current->m_times.append(double(current->m_clock.nsecsElapsed()) / 1e6);
    if (current->m_previous)
        current->m_previous(type, context, text);
}
