#pragma once

#include "SimService.h"

#include <QString>

namespace sim {

// The barcode reader service: reader information, whether the reader is present and enabled,
// and the codes it reads.
class BarcodeService : public SimService
{
    Q_OBJECT
public:
    explicit BarcodeService(manager::MqttClient &mqtt,
                            const QString &base = QStringLiteral("velt/barcode"),
                            QObject *parent = nullptr);

    void publishAll() override;
    QString command(const QStringList &args) override;
    QStringList help() const override;

protected:
    void onMessage(const QString &topic, const QByteArray &payload) override;

private:
    void publishStatus();

    // active: the reader answers on its port; enabled: it is allowed to scan.
    bool m_active = true;
    bool m_enabled = true;
};

} // namespace sim
