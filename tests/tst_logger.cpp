#include "Logger.h"

#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryFile>
#include <QtTest>

#include <syslog.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(qtCategory, "qt.test.category")
Q_LOGGING_CATEGORY(appCategory, "pernix.test")

namespace {

// Standard error sent to a file while it exists.
class StderrCapture
{
public:
    StderrCapture()
    {
        m_file.open();
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        ::dup2(m_file.handle(), STDERR_FILENO);
    }
    ~StderrCapture() { restore(); }
    QByteArray text()
    {
        restore();
        QFile file(m_file.fileName());
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }

private:
    void restore()
    {
        if (m_saved < 0)
            return;
        std::fflush(stderr);
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
        m_saved = -1;
    }
    QTemporaryFile m_file;
    int m_saved = -1;
};

struct SyslogLine
{
    int priority;
    QByteArray line;
};

} // namespace

class LoggerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        manager::Logger &logger = manager::Logger::instance();
        logger.setSyslogSink([this](int priority, const QByteArray &line) {
            m_syslog.append({priority, line});
        });
    }

    void init()
    {
        manager::Logger &logger = manager::Logger::instance();
        logger.setLevel(manager::Logger::INFO);
        logger.setColor(false);
        logger.setSyslog(true);
        logger.setStderr(false);
        m_syslog.clear();
    }

    void filterRules_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("passing"); // d i w c for the default category, then qt.*

        QTest::newRow("error") << 0 << "---c|----";
        QTest::newRow("warning") << 1 << "--wc|----";
        QTest::newRow("info") << 2 << "-iwc|----";
        QTest::newRow("debug") << 3 << "diwc|----";
        QTest::newRow("trace") << 4 << "diwc|diwc";
        QTest::newRow("7 is info") << 7 << "-iwc|----";
        QTest::newRow("-1 is info") << -1 << "-iwc|----";
    }

    void filterRules()
    {
        QFETCH(int, level);
        QFETCH(QString, passing);

        manager::Logger::instance().setLevel(level);
        const auto enabled = [](const QLoggingCategory &category) {
            return QString(category.isDebugEnabled() ? "d" : "-") +
                   (category.isInfoEnabled() ? "i" : "-") +
                   (category.isWarningEnabled() ? "w" : "-") +
                   (category.isCriticalEnabled() ? "c" : "-");
        };
        QCOMPARE(enabled(*QLoggingCategory::defaultCategory()) + "|" + enabled(qtCategory()),
                 passing);
        // A named category of ours follows the default one.
        QCOMPARE(enabled(appCategory()), passing.left(4));
    }

    void ruleTexts()
    {
        QCOMPARE(manager::Logger::filterRules(manager::Logger::ERROR),
                 QByteArray("*=true\n*.warning=false\n*.info=false\n*.debug=false\nqt.*=false"));
        QCOMPARE(manager::Logger::filterRules(manager::Logger::TRACE), QByteArray("*=true"));
        QCOMPARE(manager::Logger::messagePattern(true).size(), 293);
    }

    void timePrefix_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QByteArray>("prefix");
        QTest::newRow("0.123") << 0.123 << QByteArray("[    0.123]");
        QTest::newRow("0") << 0.0 << QByteArray("[    0.000]");
        QTest::newRow("long run") << 123456.789 << QByteArray("[123456.789]");
    }

    void timePrefix()
    {
        QFETCH(double, seconds);
        QFETCH(QByteArray, prefix);
        QCOMPARE(manager::Logger::timePrefix(seconds), prefix);
    }

    void syslogPriorities_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("priority");
        QTest::addColumn<QByteArray>("word");

        QTest::newRow("debug") << int(QtDebugMsg) << LOG_DEBUG << QByteArray("[debug] ");
        QTest::newRow("info") << int(QtInfoMsg) << LOG_INFO << QByteArray();
        QTest::newRow("warning") << int(QtWarningMsg) << LOG_WARNING << QByteArray("[warning] ");
        QTest::newRow("critical") << int(QtCriticalMsg) << LOG_CRIT << QByteArray("[error] ");
    }

    void syslogPriorities()
    {
        QFETCH(int, type);
        QFETCH(int, priority);
        QFETCH(QByteArray, word);

        manager::Logger::instance().setLevel(manager::Logger::DEBUG);
        QMessageLogger logger;
        switch (QtMsgType(type)) {
        case QtDebugMsg:
            logger.debug("the text");
            break;
        case QtInfoMsg:
            logger.info("the text");
            break;
        case QtWarningMsg:
            logger.warning("the text");
            break;
        default:
            logger.critical("the text");
            break;
        }
        QCOMPARE(m_syslog.size(), 1);
        QCOMPARE(m_syslog[0].priority, priority);
        const QRegularExpression shape(QStringLiteral("^\\[ *\\d+\\.\\d{3}\\] ") +
                                       QRegularExpression::escape(QString(word)) + "the text$");
        QVERIFY2(shape.match(QString(m_syslog[0].line)).hasMatch(), m_syslog[0].line.constData());
    }

    void errorLevelDropsWarnings()
    {
        manager::Logger::instance().setLevel(manager::Logger::ERROR);
        qWarning("dropped");
        qInfo("dropped");
        qCritical("kept");
        QCOMPARE(m_syslog.size(), 1);
        QCOMPARE(m_syslog[0].priority, LOG_CRIT);
        QVERIFY(m_syslog[0].line.endsWith("[error] kept"));
    }

    void stderrOutput_data()
    {
        QTest::addColumn<bool>("color");
        QTest::addColumn<bool>("named");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("plain") << false << false << QByteArray("a warning");
        QTest::newRow("plain, named category") << false << true << QByteArray("a warning");
        QTest::newRow("colour") << true << false << QByteArray("\033[33ma warning\033[39m");
        QTest::newRow("colour, named category")
            << true << true << QByteArray("[pernix.test] \033[33ma warning\033[39m");
    }

    void stderrOutput()
    {
        QFETCH(bool, color);
        QFETCH(bool, named);
        QFETCH(QByteArray, expected);

        manager::Logger &logger = manager::Logger::instance();
        logger.setColor(color);
        logger.setStderr(true);
        logger.setSyslog(false);
        StderrCapture capture;
        if (named)
            qCWarning(appCategory) << "a warning";
        else
            qWarning().noquote() << "a warning";
        const QByteArray text = capture.text();

        QVERIFY(m_syslog.isEmpty());
        const QRegularExpression shape(QStringLiteral("^\\[ {0,8}\\d+\\.\\d{3}\\] ") +
                                       QRegularExpression::escape(QString(expected)) + "\n$");
        QVERIFY2(shape.match(QString::fromUtf8(text)).hasMatch(), text.constData());
    }

    void bothOutputsOff()
    {
        manager::Logger &logger = manager::Logger::instance();
        logger.setSyslog(false);
        logger.setStderr(false);
        StderrCapture capture;
        qCritical("nowhere");
        QCOMPARE(capture.text(), QByteArray());
        QVERIFY(m_syslog.isEmpty());
    }

private:
    QVector<SyslogLine> m_syslog;
};

QTEST_GUILESS_MAIN(LoggerTest)
#include "tst_logger.moc"
