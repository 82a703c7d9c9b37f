#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QStringList>
#include <QtGlobal>

// Records every log line (the text of the message, after the level filter) while it exists,
// and passes each one on to the handler that was installed before.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();

    QStringList lines() const { return m_lines; }
    int count(const QString &line) const { return m_lines.count(line); }
    bool contains(const QString &line) const { return m_lines.contains(line); }
    int countStartingWith(const QString &prefix) const;
    // When each line equal to `line` was written: milliseconds since the capture began.
    QList<double> times(const QString &line) const;
    void clear()
    {
        m_lines.clear();
        m_times.clear();
    }

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &text);

    QtMessageHandler m_previous = nullptr;
    QElapsedTimer m_clock;
    QStringList m_lines;
    QList<double> m_times; // one per line
};
