#include "LogCapture.h"

namespace {
LogCapture *current = nullptr;
}

LogCapture::LogCapture()
{
    current = this;
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

void LogCapture::handler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (!current)
        return;
    current->m_lines.append(text);
    if (current->m_previous)
        current->m_previous(type, context, text);
}
