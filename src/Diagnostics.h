#pragma once

#include "Board.h"
#include "Network.h"
#include "Validator.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

// The unit's hardware self-test. One verdict per item ("", "OK", "ERROR" or "MISSING"): the USB
// devices and the SD card are measured while the diagnostics page runs the check, the service
// items are read live from the managers, and the manual items are answered by the technician.
// The verdicts are saved as a text report and summed up in a QR code.
class Diagnostics : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString rtc READ rtc NOTIFY rtcChanged)
    Q_PROPERTY(QString ethernet READ ethernet NOTIFY ethernetChanged)
    Q_PROPERTY(QString usbHub READ usbHub NOTIFY usbHubChanged)
    Q_PROPERTY(QString mPCIe1 READ mPCIe1 NOTIFY mPCIe1Changed)
    Q_PROPERTY(QString rfidUsb READ rfidUsb NOTIFY rfidUsbChanged)
    Q_PROPERTY(QString barcodeUsb READ barcodeUsb NOTIFY barcodeUsbChanged)
    Q_PROPERTY(QString ftdi READ ftdi NOTIFY ftdiChanged)
    Q_PROPERTY(QString usbHost READ usbHost NOTIFY usbHostChanged)
    Q_PROPERTY(QString touch READ touch NOTIFY touchChanged)
    Q_PROPERTY(QString sdCard READ sdCard NOTIFY sdCardChanged)
    Q_PROPERTY(QString buzzer READ buzzer WRITE setBuzzer NOTIFY buzzerChanged)
    Q_PROPERTY(QString leds READ leds WRITE setLeds NOTIFY ledsChanged)
    Q_PROPERTY(QString ignition READ ignition NOTIFY ignitionChanged)
    Q_PROPERTY(QString temperature READ temperature NOTIFY temperatureChanged)
    Q_PROPERTY(QString voltage READ voltage NOTIFY voltageChanged)
    Q_PROPERTY(QString sam READ sam NOTIFY samChanged)
    Q_PROPERTY(QString speaker READ speaker WRITE setSpeaker NOTIFY speakerChanged)
    Q_PROPERTY(QString barcodeScan READ barcodeScan WRITE setBarcodeScan NOTIFY barcodeScanChanged)
    Q_PROPERTY(QString cardScan READ cardScan WRITE setCardScan NOTIFY cardScanChanged)
    Q_PROPERTY(QString rfidService READ rfidService NOTIFY rfidServiceChanged)
    Q_PROPERTY(QString barcodeService READ barcodeService NOTIFY barcodeServiceChanged)
    Q_PROPERTY(QString boardService READ boardService NOTIFY boardServiceChanged)
    Q_PROPERTY(QString lightSensor READ lightSensor WRITE setLightSensor NOTIFY lightSensorChanged)
    Q_PROPERTY(QString rgbTest READ rgbTest WRITE setRgbTest NOTIFY rgbTestChanged)
public:
    struct UsbDevice
    {
        QString name; // for the log
        QString id;   // "vendor:product" in lower-case hex, or "*" / "any" for any device
        QString path; // bus and port path in the system's USB device directory
    };
    // The devices on the board's internal USB tree, in the order check() tests them.
    static const QList<UsbDevice> m_usbDevices;

    // Where the system lists USB devices and where the SD card's first partition appears; the
    // environment variables PERNIX_USB_DEVICES and PERNIX_SD_CARD point them elsewhere (a bench
    // or a test).
    static const char *const UsbDevicesDir;
    static const char *const SdCardPath;

    Diagnostics(const QString &deviceId, manager::Board &board, manager::Network &network,
                manager::Validator &validator, QObject *parent = nullptr);

    QString rtc() const;
    QString ethernet() const;
    QString usbHub() const { return m_usbHub; }
    QString mPCIe1() const { return m_mPCIe1; }
    QString rfidUsb() const { return m_rfidUsb; }
    QString barcodeUsb() const { return m_barcodeUsb; }
    QString ftdi() const { return m_ftdi; }
    QString usbHost() const { return m_usbHost; }
    QString touch() const { return m_touch; }
    QString sdCard() const { return m_sdCard; }
    QString buzzer() const { return m_buzzer; }
    void setBuzzer(const QString &verdict);
    QString leds() const { return m_leds; }
    void setLeds(const QString &verdict);
    QString ignition() const;
    QString temperature() const;
    QString voltage() const;
    QString sam() const;
    QString speaker() const { return m_speaker; }
    void setSpeaker(const QString &verdict);
    QString barcodeScan() const { return m_barcodeScan; }
    void setBarcodeScan(const QString &verdict);
    QString cardScan() const { return m_cardScan; }
    void setCardScan(const QString &verdict);
    QString rfidService() const;
    QString barcodeService() const;
    QString boardService() const;
    QString lightSensor() const { return m_lightSensor; }
    void setLightSensor(const QString &verdict);
    QString rgbTest() const { return m_rgbTest; }
    void setRgbTest(const QString &verdict);

    // Measures the USB devices and the SD card once.
    void check();
    QString testUsb(const UsbDevice &device) const;
    QString testSdCard() const;
    // The file's text up to its first zero byte, trimmed; empty (and logged) when unreadable.
    QString readFile(const QString &path) const;

    // The report text (37 lines) and the QR line (33 fields), as of the given moment.
    QString reportText(const QDateTime &at) const;
    QString qrLine(const QDateTime &at) const;

signals:
    void rtcChanged();
    void ethernetChanged();
    void usbHubChanged();
    void mPCIe1Changed();
    void rfidUsbChanged();
    void barcodeUsbChanged();
    void ftdiChanged();
    void usbHostChanged();
    void touchChanged();
    void sdCardChanged();
    void buzzerChanged();
    void ledsChanged();
    void ignitionChanged();
    void temperatureChanged();
    void voltageChanged();
    void samChanged();
    void speakerChanged();
    void barcodeScanChanged();
    void cardScanChanged();
    void saveReportFinished(bool result, QString message);
    void rfidServiceChanged();
    void barcodeServiceChanged();
    void boardServiceChanged();
    void lightSensorChanged();
    void rgbTestChanged();

public slots:
    void start(int intervalSec = 1);
    void stop();
    // Writes the report into the working directory; saveReportFinished tells how it went.
    void saveReport();
    // The QR code of the same facts, as an SVG data URI.
    QString generateQr();

private:
    // The facts both the report and the QR line start with.
    struct Identity
    {
        QString deviceId, date, sam, barcodeFirmware, rfidFirmware, boardFirmware, appVersion;
    };
    Identity identity(const QDateTime &at) const;

    QString m_usbHub;
    QString m_mPCIe1;
    QString m_rfidUsb;
    QString m_barcodeUsb;
    QString m_ftdi;
    QString m_usbHost;
    QString m_touch;
    QString m_sdCard;
    QString m_buzzer;
    QString m_leds;
    QString m_speaker;
    QString m_barcodeScan;
    QString m_cardScan;
    QString m_lightSensor;
    QString m_rgbTest;
    QTimer m_timer;
    const QString &m_deviceId;
    manager::Board &m_board;
    manager::Network &m_network;
    manager::Validator &m_validator;
    const QString m_usbRoot;
    const QString m_sdCardPath;
};
