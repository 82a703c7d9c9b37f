#include "Simulator.h"

#include "BarcodeService.h"
#include "BoardService.h"
#include "DeviceService.h"
#include "GpsService.h"
#include "InspectorService.h"
#include "Logger.h"
#include "NetworkService.h"
#include "ValidatorService.h"

#include <algorithm>

namespace sim {

const QString Simulator::CommandTopic = QStringLiteral("velt/simulator/command");
const QString Simulator::ErrorTopic = QStringLiteral("velt/simulator/error");

Simulator::Simulator(manager::MqttClient &mqtt, const Bases &bases, QObject *parent)
    : QObject(parent), m_mqtt(mqtt)
{
    m_services = {new ValidatorService(mqtt, bases.validator, this),
                  new BoardService(mqtt, bases.board, this),
                  new InspectorService(mqtt, bases.inspector, this),
                  new NetworkService(mqtt, bases.network, this),
                  new DeviceService(mqtt, bases.device, this),
                  new BarcodeService(mqtt, bases.barcode, this),
                  new GpsService(mqtt, bases.gps, this)};
    for (const char *word :
         {"card", "ticket", "retry", "card-found", "card-removed", "maintenance"})
        m_aliases.insert(word, QStringLiteral("validator"));
    for (const char *word : {"ignition", "temperature", "voltage", "light"})
        m_aliases.insert(word, QStringLiteral("board"));

    m_mqtt.subscribe(CommandTopic);
    connect(&m_mqtt, &manager::MqttClient::received, this,
            [this](const QByteArray &data, const QByteArray &from) {
                if (QString::fromUtf8(from) != CommandTopic)
                    return;
                const QStringList lines = QString::fromUtf8(data).split('\n');
                for (const QString &line : lines) {
                    const QString error = execute(line);
                    if (!error.isEmpty())
                        fail(CommandTopic + ": " + error);
                }
            });

    m_stepTimer.setSingleShot(true);
    connect(&m_stepTimer, &QTimer::timeout, this, &Simulator::runNextStep);
}

SimService *Simulator::service(const QString &name) const
{
    for (SimService *service : m_services) {
        if (service->name() == name)
            return service;
    }
    return nullptr;
}

QString Simulator::execute(const QString &line)
{
    const QString text = line.trimmed();
    if (text.isEmpty() || text.startsWith('#'))
        return {};
    QStringList words;
    if (!Scenario::split(text, &words))
        return QStringLiteral("unclosed quote");
    if (words.first() == "wait")
        return QStringLiteral("wait is for scenarios");
    return run(words);
}

QString Simulator::run(const QStringList &words)
{
    const QString first = words.first();
    if (first == "help") {
        for (const QString &line : help())
            LOG_INFO << line;
        return {};
    }
    if (SimService *target = service(first))
        return target->command(words.mid(1));
    if (m_aliases.contains(first))
        return service(m_aliases.value(first))->command(words);
    return QStringLiteral("unknown command '%1' (try help)").arg(first);
}

void Simulator::runScenario(const QString &text, const QString &name, bool loop)
{
    QStringList errors;
    m_steps = Scenario::parse(text, name, &errors);
    for (const QString &error : errors)
        fail(error);
    m_scenarioName = name;
    m_loop = loop;
    m_next = 0;
    m_stepTimer.start(0);
}

void Simulator::runNextStep()
{
    while (m_next >= 0 && m_next < m_steps.size()) {
        const Scenario::Step step = m_steps.at(m_next++);
        if (step.words.isEmpty()) {
            m_stepTimer.start(step.waitMs);
            return;
        }
        LOG_INFO << "[sim] " << m_scenarioName << ":" << step.line << ": " << step.words.join(' ');
        const QString error = run(step.words);
        if (!error.isEmpty())
            fail(QStringLiteral("%1:%2: %3").arg(m_scenarioName).arg(step.line).arg(error));
    }
    // A loop without a single pause would never give the event loop a turn.
    const bool pauses = std::any_of(m_steps.begin(), m_steps.end(),
                                    [](const Scenario::Step &s) { return s.words.isEmpty(); });
    if (m_loop && pauses) {
        m_next = 0;
        m_stepTimer.start(0);
        return;
    }
    m_next = -1;
    emit scenarioFinished();
}

void Simulator::fail(const QString &message)
{
    LOG_WARNING << "[sim] " << message;
    m_mqtt.publish(message.toUtf8(), ErrorTopic);
    emit commandFailed(message);
}

QStringList Simulator::help() const
{
    QStringList lines = {"Commands (one per line; quote words with spaces):"};
    for (const SimService *service : m_services)
        lines += service->help();
    lines += {"help                                 this text",
              "wait <ms>                            (scenarios only) pause"};
    return lines;
}

} // namespace sim
