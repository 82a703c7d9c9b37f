#pragma once

#include "ServiceManager.h"
#include "Transaction.h"
#include "ValidatorBarcode.h"
#include "ValidatorConfig.h"
#include "ValidatorRfid.h"

#include <QJsonObject>
#include <QString>

#include <QUrl>
#include <optional>

namespace manager {

// Mirrors the validator service: its status reduced to one word with a reason, its readers and
// configuration, card and barcode events, and validation results as Transactions.
class Validator : public ServiceManager
{
    Q_OBJECT
    Q_PROPERTY(QString status READ status NOTIFY statusChanged)
    Q_PROPERTY(QString reason READ reason NOTIFY reasonChanged)
    Q_PROPERTY(QString version READ version NOTIFY versionChanged)
    Q_PROPERTY(QString route READ route NOTIFY routeChanged)
    Q_PROPERTY(QString vehicle READ vehicle NOTIFY vehicleChanged)
    Q_PROPERTY(ValidatorConfig *config READ config NOTIFY configChanged)
    Q_PROPERTY(ValidatorBarcode *barcode READ barcode NOTIFY barcodeChanged)
    Q_PROPERTY(ValidatorRfid *rfid READ rfid NOTIFY rfidChanged)
public:
    Validator(MqttClient &mqtt, const QString &base, QObject *parent = nullptr);

    QString status() const { return m_status; }
    QString reason() const { return m_reason; }
    QString reasonCode() const { return m_reasonCode; }
    QString version() const { return m_version; }
    QString route() const { return m_route; }
    QString vehicle() const { return m_vehicle; }
    ValidatorConfig *config() { return &m_config; }
    ValidatorBarcode *barcode() { return &m_barcode; }
    ValidatorRfid *rfid() { return &m_rfid; }

    static QUrl parseUrl(const QJsonObject &blm);
    static QString mapCardType(int type);

signals:
    void statusChanged();
    void reasonChanged();
    void versionChanged();
    void routeChanged();
    void vehicleChanged();
    void configChanged();
    void barcodeChanged();
    void rfidChanged();
    void cardDetected(const QString &uid, const QString &type);
    void cardRemoved();
    void cardRetry();
    void ticketValidated(const Transaction &transaction);
    void maintenanceBarcodeScanned(const QJsonObject &data);

public slots:
    void enableBarcode();
    void disableBarcode();
    void enableRfid();
    void disableRfid();
    void saveConfig();
    void refreshConfig();

private:
    void onMqttReceived(const QByteArray &message, const QString &topic) override;
    void onMqttDisconnected();
    void onInfoReceived(const QJsonObject &message, const QString &topic);
    void onStatusReceived(const QJsonObject &message, const QString &topic);
    void onConfigReceived(const QJsonObject &message, const QString &topic);
    void onCardFound(const QJsonObject &message, const QString &topic);
    void onCardScannedReceived(const QJsonObject &message, const QString &topic);
    void onBarcodeScannedReceived(const QJsonObject &message, const QString &topic);
    void setStatus(const QString &status);
    void setReason(const QString &reason, const QString &code);
    // Forgets the requests the service's last report has confirmed.
    void settleReaderRequests();

    QString m_status;
    QString m_reason;
    QString m_reasonCode;
    QString m_version;
    QString m_route;
    QString m_vehicle;
    ValidatorConfig m_config;
    ValidatorBarcode m_barcode;
    ValidatorRfid m_rfid;
    // The reader state asked for last and not yet reported back by the service: a request on its
    // way counts as well as the state reported, or a quick "on, off" would lose the "off".
    std::optional<bool> m_barcodeRequest;
    std::optional<bool> m_rfidRequest;
};

} // namespace manager
