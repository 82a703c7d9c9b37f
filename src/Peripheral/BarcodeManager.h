#pragma once

#include "ServiceManager.h"

#include <QJsonObject>
#include <QString>

namespace manager {

// Follows the barcode reader service on its own topics: its information, a status word and
// every code it reads. Not part of the passenger path, which goes through the validator.
class BarcodeManager : public ServiceManager
{
    Q_OBJECT
public:
    struct Info
    {
        QString firmware;
        QString manufacturer;
        QString model;
        QString type;
        QString version;
    };

    BarcodeManager(MqttClient &mqtt, const QString &base, QObject *parent);

    const Info &info() const { return m_info; }
    // "", "offline", "error", "enabled" or "disabled".
    const QString &status() const { return m_status; }
    bool enable();
    bool disable();

signals:
    void statusChanged(QString status);
    void barcodeScanned(QString data);

protected:
    void onMqttReceived(const QByteArray &message, const QString &topic) override;

private:
    void onInfoReceived(const QJsonObject &object, const QString &topic);
    void onStatusReceived(const QJsonObject &object, const QString &topic);
    void onBarcodeReceived(const QJsonObject &object, const QString &topic);
    void setStatus(const QString &status);

    QString m_status;
    Info m_info;
};

} // namespace manager
