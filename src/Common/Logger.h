#pragma once

#include <QByteArray>
#include <QDebug>
#include <QMutex>
#include <QtGlobal>

#include <functional>

// Log streams that join their pieces exactly as written: no quotes, no inserted blanks.
#define LOG_DEBUG qDebug().noquote().nospace()
#define LOG_INFO qInfo().noquote().nospace()
#define LOG_WARNING qWarning().noquote().nospace()
#define LOG_CRITICAL qCritical().noquote().nospace()

namespace manager {

// "true" or "false", as the log lines spell a flag.
inline const char *boolText(bool value)
{
    return value ? "true" : "false";
}

// Process-wide message handler: level filter rules, message pattern, syslog and stderr output,
// every line prefixed with the seconds since the logger was created.
class Logger
{
public:
    enum Level { ERROR = 0, WARNING = 1, INFO = 2, DEBUG = 3, TRACE = 4 };

    // Receives (syslog priority, complete line) instead of syslog(3); for tests.
    using SyslogSink = std::function<void(int priority, const QByteArray &line)>;

    static Logger &instance();

    void setLevel(Level level);
    void setLevel(int level);
    void setColor(bool color);
    void setSyslog(bool enabled);
    void setStderr(bool enabled);
    void setSyslogSink(SyslogSink sink);

    QMutex &getMutex() { return mMutex; }
    bool getSyslog() const { return mSyslog; }
    bool getStderr() const { return mStderr; }
    double getStartTime() const { return mStartTime; }

    static QByteArray filterRules(Level level);
    static QByteArray messagePattern(bool color);
    // "[%9.03f]" of the given number of seconds.
    static QByteArray timePrefix(double seconds);
    static double nowMillis();

private:
    Logger();
    Logger(const Logger &) = delete;
    Logger &operator=(const Logger &) = delete;

    static void handleMessage(QtMsgType type, const QMessageLogContext &context,
                              const QString &text);

    QMutex mMutex;
    bool mSyslog = true;
    bool mStderr = false;
    double mStartTime = 0;
    SyslogSink mSyslogSink;
};

} // namespace manager
