#pragma once

#include "MqttClient.h"
#include "Simulator.h"

#include <QString>

// The device-service simulator in the test's own process, on its own client of the broker.
class SimulatorRun
{
public:
    SimulatorRun(const QString &host, quint16 port);

    manager::MqttClient &client() { return m_client; }
    // A simulator command; empty when it was taken.
    QString execute(const QString &command) { return m_simulator.execute(command); }

private:
    manager::MqttClient m_client;
    sim::Simulator m_simulator;
};
