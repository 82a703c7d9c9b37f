#include "CommandLine.h"
#include "LogCapture.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The real program as a technician runs it over SSH: no display of any kind.
void startWithoutDisplay(QProcess &program, const QStringList &args)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(name);
    program.setProcessEnvironment(env);
    program.start(PERNIX_BINARY, args);
}

} // namespace

class CommandLineTest : public QObject
{
    Q_OBJECT

private slots:
    void overrides_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QVariantMap>("overrides");
        QTest::addColumn<QStringList>("logLines");

        QTest::newRow("no options") << QStringList() << QVariantMap() << QStringList();
        QTest::newRow("positional arguments ignored")
            << QStringList{"extra", "words"} << QVariantMap() << QStringList();
        QTest::newRow("config file")
            << QStringList{"-f", "/tmp/x.conf"} << QVariantMap{{"config", "/tmp/x.conf"}}
            << QStringList{"Using configuration file : /tmp/x.conf"};
        QTest::newRow("verbose, stderr, colour in that order")
            << QStringList{"-c", "-e", "-v", "3"}
            << QVariantMap{{"log/level", 3}, {"log/stderr", true}, {"log/color", true}}
            << QStringList{"Setting Log level : 3", "Log to stderr overridden from user to true",
                           "Log with color overridden from user to true"};
        QTest::newRow("non-numeric verbose ignored")
            << QStringList{"--verbose", "loud"} << QVariantMap() << QStringList();
        QTest::newRow("long names with equals")
            << QStringList{"--host=broker", "--port=1884"}
            << QVariantMap{{"mqtt/host", "broker"}, {"mqtt/port", 1884}}
            << QStringList{"Setting MQTT Host : broker", "Setting MQTT Port : 1884"};
        QTest::newRow("non-numeric port is 0")
            << QStringList{"-P", "http"} << QVariantMap{{"mqtt/port", 0}}
            << QStringList{"Setting MQTT Port : http"};
        QTest::newRow("toolkit options passed over")
            << QStringList{"-platform", "xcb",      "--qwindowtitle",
                           "x",         "-reverse", "-qmljsdebugger=port:9000",
                           "-e"}
            << QVariantMap{{"log/stderr", true}}
            << QStringList{"Log to stderr overridden from user to true"};
        QTest::newRow("user logged, password never")
            << QStringList{"-u", "tech", "-p", "s3cret"}
            << QVariantMap{{"mqtt/username", "tech"}, {"mqtt/password", "s3cret"}}
            << QStringList{"Setting MQTT User : tech"};
    }

    void overrides()
    {
        QFETCH(QStringList, args);
        QFETCH(QVariantMap, overrides);
        QFETCH(QStringList, logLines);

        LogCapture log;
        const CommandLine result = parseCLIArgs(QStringList{"pernix"} + args);
        QCOMPARE(result.exitCode, -1);
        QCOMPARE(result.overrides, overrides);
        for (auto it = overrides.constBegin(); it != overrides.constEnd(); ++it)
            QCOMPARE(result.overrides.value(it.key()).type(), it.value().type());
        QCOMPARE(log.lines(), logLines);
    }

    void exits_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("stdoutHas");
        QTest::addColumn<QString>("stderrHas");

        QTest::newRow("help") << QStringList{"--help"} << 0 << "-P, --port <port>"
                              << "";
        QTest::newRow("version") << QStringList{"-V"} << 0 << "Pernix 1.0.18-1-g376f268\n"
                                 << "";
        QTest::newRow("unknown option") << QStringList{"--bogus"} << 1 << ""
                                        << "ERROR: Unknown option 'bogus'.";
        QTest::newRow("missing value") << QStringList{"-H"} << 1 << ""
                                       << "ERROR: Missing value after '-H'.";
        QTest::newRow("help with a bad option: the error wins")
            << QStringList{"-h", "-x"} << 1 << ""
            << "ERROR: Unknown option 'x'.";
        QTest::newRow("help and version: help wins")
            << QStringList{"-V", "-h"} << 0 << "Print version and exit"
            << "";
        QTest::newRow("version after a toolkit option")
            << QStringList{"-platform", "offscreen", "-V"} << 0 << "Pernix 1.0.18-1-g376f268\n"
            << "";
        QTest::newRow("bad option after a toolkit option")
            << QStringList{"-platform", "offscreen", "--bogus"} << 1 << ""
            << "ERROR: Unknown option 'bogus'.";
    }

    // The real program, with no display: these paths end the process before any window.
    void exits()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, stdoutHas);
        QFETCH(QString, stderrHas);

        QTemporaryDir dir;
        QProcess program;
        program.setWorkingDirectory(dir.path());
        startWithoutDisplay(program, args);
        QVERIFY(program.waitForFinished(20000));
        const QString out = QString::fromUtf8(program.readAllStandardOutput());
        const QString err = QString::fromUtf8(program.readAllStandardError());
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), exitCode);
        QVERIFY2(out.contains(stdoutHas), qPrintable(out));
        QVERIFY2(err.contains(stderrHas), qPrintable(err));
        if (exitCode == 1)
            QVERIFY(!out.contains("Usage:"));
        // Nothing was started: no configuration file written.
        QVERIFY(!QFile::exists(dir.filePath("gui.conf")));
    }

    void helpListsEveryOption()
    {
        QProcess program;
        startWithoutDisplay(program, {"-h"});
        QVERIFY(program.waitForFinished(20000));
        const QString out = QString::fromUtf8(program.readAllStandardOutput());
        QVERIFY2(out.startsWith(QString("Usage: %1 [options]\n").arg(PERNIX_BINARY)),
                 qPrintable(out));
        const QStringList expected = {"-h, --help",
                                      "Print help and exit",
                                      "-V, --version",
                                      "Print version and exit",
                                      "-v, --verbose <level>",
                                      "Set log level: 0=err, 1=warn, 2=info(dfl), 3=dbg",
                                      "-e, --stderr",
                                      "Print messages to stderr, not just syslog",
                                      "-c, --color",
                                      "Print messages in color.",
                                      "-f, --config <filename>",
                                      "Set configuration file",
                                      "-H, --host <hostname>",
                                      "Set mqtt broker url",
                                      "-P, --port <port>",
                                      "Set mqtt broker port",
                                      "-u, --username <username>",
                                      "Set mqtt username",
                                      "-p, --password <password>",
                                      "Set mqtt password"};
        int from = 0;
        for (const QString &piece : expected) {
            const int at = out.indexOf(piece, from);
            QVERIFY2(at >= 0, qPrintable("missing or out of order: " + piece));
            from = at + piece.size();
        }
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "tst_commandline.moc"
