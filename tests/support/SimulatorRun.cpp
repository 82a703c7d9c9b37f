#include "SimulatorRun.h"

SimulatorRun::SimulatorRun(const QString &host, quint16 port)
    : m_simulator(m_client, sim::Simulator::Bases())
{
    m_client.setHostname(host);
    m_client.setPort(port);
    m_client.setClientId(QStringLiteral("simulator"));
    m_client.connect();
}
