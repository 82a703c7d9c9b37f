#pragma once

#include "Scenario.h"
#include "SimService.h"

#include <QMap>
#include <QObject>
#include <QTimer>
#include <QVector>

namespace sim {

// Plays every device service on one broker connection and runs commands: from standard input,
// from its control topic and from scenario files.
class Simulator : public QObject
{
    Q_OBJECT
public:
    struct Bases
    {
        QString validator = QStringLiteral("velt/blm");
        QString board = QStringLiteral("velt/board");
        QString inspector = QStringLiteral("velt/inspector");
        QString network = QStringLiteral("velt/network");
        QString device = QStringLiteral("velt/device");
        QString barcode = QStringLiteral("velt/barcode");
        QString gps = QStringLiteral("velt/gps");
    };
    // Commands sent here (one or more lines) run as if typed; errors go to ErrorTopic.
    static const QString CommandTopic;
    static const QString ErrorTopic;

    Simulator(manager::MqttClient &mqtt, const Bases &bases, QObject *parent = nullptr);

    // Runs one command line. Returns the error text, or an empty string.
    QString execute(const QString &line);
    // Runs a scenario (name is used in messages). Bad lines are reported and skipped.
    void runScenario(const QString &text, const QString &name, bool loop);
    bool scenarioRunning() const { return m_next >= 0; }
    QStringList help() const;
    SimService *service(const QString &name) const;

signals:
    // Every command that failed, with where it came from.
    void commandFailed(const QString &message);
    void scenarioFinished();

private:
    QString run(const QStringList &words);
    void runNextStep();
    void fail(const QString &message);

    manager::MqttClient &m_mqtt;
    QVector<SimService *> m_services;
    QMap<QString, QString> m_aliases; // command word -> service
    QVector<Scenario::Step> m_steps;
    QString m_scenarioName;
    bool m_loop = false;
    int m_next = -1;
    QTimer m_stepTimer;
};

} // namespace sim
