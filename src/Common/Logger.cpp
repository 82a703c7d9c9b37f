#include "Logger.h"

#include <QLoggingCategory>
#include <QMutexLocker>

#include <cstdio>
#include <cstdlib>
#include <syslog.h>
#include <time.h>

namespace manager {

namespace {

#define ESC "\033"

const char *const PlainPattern = "%{if-fatal}%{function} at %{file}:%{line} "
                                 "(%{pid}:%{threadid}:%{qthreadptr}) - %{endif}%{message}";

const char *const ColorPattern =
    "%{if-category}[%{category}] %{endif}"
    "%{if-info}%{message}%{endif}"
    "%{if-warning}" ESC "[33m%{message}" ESC "[39m%{endif}"
    "%{if-debug}" ESC "[35m%{message}" ESC "[39m%{endif}"
    "%{if-critical}" ESC "[31m%{message}" ESC "[39m%{endif}"
    "%{if-fatal}%{function} at %{file}:%{line} (%{pid}:%{threadid}:%{qthreadptr}) - " ESC
    "[31m%{message}" ESC "[39m%{endif}";

#undef ESC

void writeSyslog(int priority, const QByteArray &line)
{
    ::syslog(priority, "%s", line.constData());
}

} // namespace

Logger::Logger() : mStartTime(nowMillis()), mSyslogSink(writeSyslog)
{
    setColor(false);
    setLevel(INFO);
    qInstallMessageHandler(handleMessage);
}

Logger &Logger::instance()
{
    // Deliberately leaked: messages may still be logged during static destruction.
    static Logger *logger = new Logger;
    return *logger;
}

double Logger::nowMillis()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return (double(ts.tv_sec) * 1e9 + double(ts.tv_nsec)) / 1e6;
}

QByteArray Logger::filterRules(Level level)
{
    switch (level) {
    case ERROR:
        return "*=true\n*.warning=false\n*.info=false\n*.debug=false\nqt.*=false";
    case WARNING:
        return "*=true\n*.info=false\n*.debug=false\nqt.*=false";
    case INFO:
        return "*=true\n*.debug=false\nqt.*=false";
    case DEBUG:
        return "*=true\nqt.*=false";
    case TRACE:
        return "*=true";
    }
    return {};
}

QByteArray Logger::messagePattern(bool color)
{
    return color ? ColorPattern : PlainPattern;
}

QByteArray Logger::timePrefix(double seconds)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "[%9.03f]", seconds);
    return buffer;
}

void Logger::setLevel(Level level)
{
    QMutexLocker lock(&mMutex);
    const QByteArray rules = filterRules(level);
    if (rules.isEmpty())
        return;
    QLoggingCategory::setFilterRules(QString::fromLatin1(rules));
}

void Logger::setLevel(int level)
{
    switch (level) {
    case 0:
        setLevel(ERROR);
        break;
    case 1:
        setLevel(WARNING);
        break;
    case 3:
        setLevel(DEBUG);
        break;
    case 4:
        setLevel(TRACE);
        break;
    default:
        setLevel(INFO);
        break;
    }
}

void Logger::setColor(bool color)
{
    QMutexLocker lock(&mMutex);
    qSetMessagePattern(QString::fromLatin1(messagePattern(color)));
}

void Logger::setSyslog(bool enabled)
{
    QMutexLocker lock(&mMutex);
    mSyslog = enabled;
}

void Logger::setStderr(bool enabled)
{
    QMutexLocker lock(&mMutex);
    mStderr = enabled;
}

void Logger::setSyslogSink(SyslogSink sink)
{
    QMutexLocker lock(&mMutex);
    mSyslogSink = sink ? std::move(sink) : SyslogSink(writeSyslog);
}

void Logger::handleMessage(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    Logger &logger = instance();
    logger.mMutex.lock();

    const QByteArray message = qFormatLogMessage(type, context, text).toUtf8();
    const QByteArray prefix = timePrefix((nowMillis() - logger.mStartTime) / 1000.0);

    if (logger.mSyslog) {
        int priority = LOG_INFO;
        const char *word = nullptr;
        switch (type) {
        case QtDebugMsg:
            priority = LOG_DEBUG;
            word = "[debug]";
            break;
        case QtWarningMsg:
            priority = LOG_WARNING;
            word = "[warning]";
            break;
        case QtCriticalMsg:
            priority = LOG_CRIT;
            word = "[error]";
            break;
        case QtFatalMsg:
            priority = LOG_ERR;
            word = "[fatal]";
            break;
        case QtInfoMsg:
            break;
        }
        QByteArray line = prefix + ' ';
        if (word)
            line += QByteArray(word) + ' ';
        logger.mSyslogSink(priority, line + message);
    }

    if (logger.mStderr) {
        std::fprintf(stderr, "%s %s\n", prefix.constData(), message.constData());
        std::fflush(stderr);
    }

    if (type == QtFatalMsg)
        std::abort();
    logger.mMutex.unlock();
}

} // namespace manager
