#pragma once

#include "SimService.h"

#include <QJsonArray>

namespace sim {

// The validator ("BLM") service: status with its readers, configuration, card and ticket
// validations, card events and maintenance barcodes.
class ValidatorService : public SimService
{
    Q_OBJECT
public:
    ValidatorService(manager::MqttClient &mqtt, const QString &base, QObject *parent = nullptr);

    void publishAll() override;
    QString command(const QStringList &args) override;
    QStringList help() const override;

protected:
    void onMessage(const QString &topic, const QByteArray &payload) override;

private:
    QString validation(bool card, const QStringList &args);
    QString setState(const QStringList &args);
    void publishInfo();
    void publishStatus();
    void publishConfig();

    // Status flags as the service reports them.
    bool m_service = true;
    bool m_init = false;
    bool m_hasRfid = true;
    bool m_hasRoute = true;
    bool m_hasQr = true;
    bool m_hasObu = true;
    bool m_reportNtp = true; // older services leave "hasNtp" out
    bool m_hasNtp = true;
    int m_rfidState = 2; // Searching
    bool m_barcodeEnabled = true;
    QString m_route = QStringLiteral("X95 Syntagma - Airport");
    QString m_vehicle = QStringLiteral("bus-0417");
    // Configuration as stored by the service (its wire form: strings).
    QString m_obuHost = QStringLiteral("192.168.1.1");
    int m_obuPort = 1883;
    QString m_obuUser = QStringLiteral("obu");
    QString m_obuPassword = QStringLiteral("obu-secret");
    int m_passbackSecs = 60;
    bool m_qrPassback = false;
};

} // namespace sim
