#include "Diagnostics.h"

#include "AtomicFile.h"
#include "ChangeValue.h"
#include "Logger.h"
#include "QrCodeGenerator.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QString Prefix = QStringLiteral("[Diagnostics] ");
const QString Ok = QStringLiteral("OK");
const QString Error = QStringLiteral("ERROR");
const QString Missing = QStringLiteral("MISSING");
const QString NoSam = QStringLiteral("SAM not present");
const QString Unavailable = QStringLiteral("<null>");
const QString Separator = QString(53, QLatin1Char('-'));

QString verdict(bool ok)
{
    return ok ? Ok : Error;
}

} // namespace

const QList<Diagnostics::UsbDevice> Diagnostics::m_usbDevices = {
    {QStringLiteral("USB Hub #1"), QStringLiteral("0451:2077"), QStringLiteral("1-1")},
    {QStringLiteral("mPCIE #1"), QStringLiteral("*"), QStringLiteral("1-1.2")},
    {QStringLiteral("RFID"), QStringLiteral("0ab1:0007"), QStringLiteral("1-1.3")},
    {QStringLiteral("USB Host"), QStringLiteral("*"), QStringLiteral("1-1.4")},
    {QStringLiteral("FTDI"), QStringLiteral("0403:6015"), QStringLiteral("1-1.5")},
    {QStringLiteral("Barcode"), QStringLiteral("05f9:4204"), QStringLiteral("1-1.6")},
    {QStringLiteral("Touch"), QStringLiteral("222a:0001"), QStringLiteral("1-1.7")},
};

const char *const Diagnostics::UsbDevicesDir = "/sys/bus/usb/devices";
const char *const Diagnostics::SdCardPath = "/dev/mmcblk1p1";

Diagnostics::Diagnostics(const QString &deviceId, manager::Board &board, manager::Network &network,
                         manager::Validator &validator, QObject *parent)
    : QObject(parent), m_deviceId(deviceId), m_board(board), m_network(network),
      m_validator(validator),
      m_usbRoot(qEnvironmentVariable("PERNIX_USB_DEVICES", QLatin1String(UsbDevicesDir))),
      m_sdCardPath(qEnvironmentVariable("PERNIX_SD_CARD", QLatin1String(SdCardPath)))
{
    connect(&m_timer, &QTimer::timeout, this, &Diagnostics::check);
    // The live items are read from the managers; their notifications are the managers'.
    connect(&m_board, &manager::Board::rtcFailedChanged, this, &Diagnostics::rtcChanged);
    connect(m_network.ethernet(), &manager::Ethernet::stateChanged, this,
            &Diagnostics::ethernetChanged);
    connect(&m_board, &manager::Board::ignitionChanged, this, &Diagnostics::ignitionChanged);
    connect(&m_board, &manager::Board::temperatureChanged, this, &Diagnostics::temperatureChanged);
    connect(&m_board, &manager::Board::voltageChanged, this, &Diagnostics::voltageChanged);
    connect(&m_board, &manager::Board::statusChanged, this, &Diagnostics::boardServiceChanged);
    connect(m_validator.rfid(), &ValidatorRfid::samChanged, this, &Diagnostics::samChanged);
    connect(m_validator.rfid(), &ValidatorRfid::activeChanged, this,
            &Diagnostics::rfidServiceChanged);
    connect(m_validator.barcode(), &ValidatorBarcode::activeChanged, this,
            &Diagnostics::barcodeServiceChanged);
}

// ---------------------------------------------------------------------------------------------
// Live items

QString Diagnostics::rtc() const
{
    return verdict(!m_board.rtcFailed());
}

QString Diagnostics::ethernet() const
{
    return verdict(m_network.ethernet()->state() == QLatin1String("Connected"));
}

QString Diagnostics::ignition() const
{
    return verdict(m_board.ignition());
}

QString Diagnostics::temperature() const
{
    const double celsius = m_board.temperature();
    return verdict(celsius > 15.0 && celsius < 70.0);
}

QString Diagnostics::voltage() const
{
    const double volts = m_board.voltage();
    return verdict(volts > 9.0 && volts < 40.0);
}

QString Diagnostics::sam() const
{
    const ValidatorRfid *rfid = m_validator.rfid();
    if (!rfid->active())
        return Error;
    const SAM *first = rfid->sam();
    return verdict(first && !first->atr().isEmpty());
}

QString Diagnostics::rfidService() const
{
    return verdict(m_validator.rfid()->active());
}

QString Diagnostics::barcodeService() const
{
    return verdict(m_validator.barcode()->active());
}

QString Diagnostics::boardService() const
{
    return verdict(m_board.status() == QLatin1String("online"));
}

// ---------------------------------------------------------------------------------------------
// Manual items

void Diagnostics::setBuzzer(const QString &verdict)
{
    if (changeValue(m_buzzer, verdict))
        emit buzzerChanged();
}

void Diagnostics::setLeds(const QString &verdict)
{
    if (changeValue(m_leds, verdict))
        emit ledsChanged();
}

void Diagnostics::setSpeaker(const QString &verdict)
{
    if (changeValue(m_speaker, verdict))
        emit speakerChanged();
}

void Diagnostics::setBarcodeScan(const QString &verdict)
{
    if (changeValue(m_barcodeScan, verdict))
        emit barcodeScanChanged();
}

void Diagnostics::setCardScan(const QString &verdict)
{
    if (changeValue(m_cardScan, verdict))
        emit cardScanChanged();
}

void Diagnostics::setLightSensor(const QString &verdict)
{
    if (changeValue(m_lightSensor, verdict))
        emit lightSensorChanged();
}

void Diagnostics::setRgbTest(const QString &verdict)
{
    if (changeValue(m_rgbTest, verdict))
        emit rgbTestChanged();
}

// ---------------------------------------------------------------------------------------------
// Measured items

void Diagnostics::start(int intervalSec)
{
    LOG_INFO << Prefix
             << QStringLiteral("Starting Diagnostic check (interval=%1 sec)").arg(intervalSec);
    check();
    // A timer holds at most INT_MAX ms; a negative interval would not run at all.
    const qint64 ms = qBound<qint64>(0, qint64(intervalSec) * 1000, INT_MAX);
    m_timer.start(int(ms));
}

void Diagnostics::stop()
{
    LOG_INFO << Prefix << "Stopping Diagnostic check";
    m_timer.stop();
}

void Diagnostics::check()
{
    // In the order of m_usbDevices.
    struct Measured
    {
        QString Diagnostics::*verdict;
        void (Diagnostics::*changed)();
    };
    static const Measured usb[] = {
        {&Diagnostics::m_usbHub, &Diagnostics::usbHubChanged},
        {&Diagnostics::m_mPCIe1, &Diagnostics::mPCIe1Changed},
        {&Diagnostics::m_rfidUsb, &Diagnostics::rfidUsbChanged},
        {&Diagnostics::m_usbHost, &Diagnostics::usbHostChanged},
        {&Diagnostics::m_ftdi, &Diagnostics::ftdiChanged},
        {&Diagnostics::m_barcodeUsb, &Diagnostics::barcodeUsbChanged},
        {&Diagnostics::m_touch, &Diagnostics::touchChanged},
    };
    static_assert(sizeof(usb) / sizeof(usb[0]) == 7, "one verdict per USB device");
    for (int i = 0; i < m_usbDevices.size(); ++i) {
        const Measured &device = usb[i];
        if (changeValue(this->*device.verdict, testUsb(m_usbDevices.at(i))))
            emit(this->*device.changed)();
    }
    if (changeValue(m_sdCard, testSdCard()))
        emit sdCardChanged();
}

QString Diagnostics::testUsb(const UsbDevice &device) const
{
    const QString dir = QStringLiteral("%1/%2").arg(m_usbRoot, device.path);
    if (!QFileInfo(dir).isDir())
        return Missing;
    const QString vendor = readFile(QStringLiteral("%1/idVendor").arg(dir));
    const QString product = readFile(QStringLiteral("%1/idProduct").arg(dir));
    const QString name = readFile(QStringLiteral("%1/product").arg(dir));
    const QString found = QStringLiteral("%1:%2").arg(vendor, product);
    LOG_DEBUG << Prefix << "name=" << device.name << " deviceId=" << found
              << " expected=" << device.id << " product=" << name;
    if (device.id == QLatin1String("any") || device.id == QLatin1String("*"))
        return Ok;
    return verdict(found.contains(device.id));
}

QString Diagnostics::testSdCard() const
{
    return QFileInfo::exists(m_sdCardPath) ? Ok : Missing;
}

QString Diagnostics::readFile(const QString &path) const
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        LOG_CRITICAL << Prefix << "ERROR: Failed to open fle : " << path;
        return QString();
    }
    // System files are small; a limit keeps a wrong path (a device node) from reading for ever.
    QByteArray content = file.read(4096);
    const int zero = content.indexOf('\0');
    if (zero >= 0)
        content.truncate(zero);
    return QString::fromUtf8(content).trimmed();
}

// ---------------------------------------------------------------------------------------------
// Report and QR code

Diagnostics::Identity Diagnostics::identity(const QDateTime &at) const
{
    const SAM *first = m_validator.rfid()->sam();
    return {m_deviceId,
            at.toString(QStringLiteral("yyyy-MM-dd hh:mm")),
            first ? first->uid() : NoSam,
            m_validator.barcode()->firmware(),
            m_validator.rfid()->firmware(),
            m_board.info().value(QStringLiteral("firmware")).toString(),
            QCoreApplication::applicationVersion()};
}

QString Diagnostics::reportText(const QDateTime &at) const
{
    const Identity facts = identity(at);
    const auto line = [](const char *label, const QString &value) {
        return QLatin1String(label) + QStringLiteral("%1").arg(value, 35);
    };
    const QStringList lines = {
        Separator,
        QStringLiteral(" DEVICE TEST REPORT"),
        Separator,
        line(" Device UID       ", facts.deviceId),
        line(" Date             ", facts.date),
        line(" SAM              ", facts.sam),
        line(" Barcode Firmware ", facts.barcodeFirmware),
        line(" RFID Firmware    ", facts.rfidFirmware),
        line(" Board Firmware   ", facts.boardFirmware),
        line(" App Version      ", facts.appVersion),
        line(" Bundle Version   ", Unavailable),
        line(" Image Version    ", Unavailable),
        Separator,
        line(" RTC              ", rtc()),
        line(" Ethernet         ", ethernet()),
        line(" USB Hub          ", usbHub()),
        line(" USB Host         ", usbHost()),
        line(" FTDI             ", ftdi()),
        line(" mPCIe #1         ", mPCIe1()),
        line(" Touch            ", touch()),
        line(" SD Card          ", sdCard()),
        line(" Ignition         ", ignition()),
        line(" Temperature      ", temperature()),
        line(" Voltage          ", voltage()),
        line(" RFID             ", rfidUsb()),
        line(" Barcode          ", barcodeUsb()),
        line(" SAM              ", sam()),
        line(" Buzzer           ", buzzer()),
        line(" Front LEDs       ", leds()),
        line(" Barcode Scan     ", barcodeScan()),
        line(" Card Scan        ", cardScan()),
        line(" RFID Manager     ", rfidService()),
        line(" Barocde Manager  ", barcodeService()),
        line(" Board Manager    ", boardService()),
        line(" Light Sensor     ", lightSensor()),
        line(" Display RGB Test ", rgbTest()),
        Separator,
    };
    return lines.join(QLatin1Char('\n'));
}

QString Diagnostics::qrLine(const QDateTime &at) const
{
    const Identity facts = identity(at);
    const QStringList fields = {
        facts.deviceId,
        facts.date,
        facts.sam,
        facts.barcodeFirmware,
        facts.rfidFirmware,
        facts.boardFirmware,
        facts.appVersion,
        QString(),
        QString(),
        rtc(),
        ethernet(),
        usbHub(),
        mPCIe1(),
        rfidUsb(),
        barcodeUsb(),
        ftdi(),
        usbHost(),
        touch(),
        sdCard(),
        buzzer(),
        leds(),
        ignition(),
        temperature(),
        voltage(),
        sam(),
        speaker(),
        barcodeScan(),
        cardScan(),
        rfidService(),
        barcodeService(),
        boardService(),
        lightSensor(),
        rgbTest(),
    };
    return fields.join(QLatin1Char(';'));
}

void Diagnostics::saveReport()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QString report = reportText(now);
    const QString fileName =
        QStringLiteral("./%1_%2.txt")
            .arg(QStringLiteral("TestReport"), now.toString(QStringLiteral("yyyyMMdd_hhmm")));
    LOG_INFO << Prefix << "\n" << report;
    LOG_INFO << Prefix << "Saving Diagnostics report to : " << fileName;

    // Written aside and renamed into place: a power cut or a full disk never leaves half a report
    // behind a success message.
    QString error;
    if (atomicfile::write(fileName, report.toUtf8(), &error)) {
        emit saveReportFinished(true,
                                QStringLiteral("Test report saved successfully:\n") + fileName);
        return;
    }
    LOG_CRITICAL << Prefix << "ERROR: Could not save file : " << error;
    emit saveReportFinished(false, QStringLiteral("Could not save Test Report\nERROR: ") + error);
}

QString Diagnostics::generateQr()
{
    const QString line = qrLine(QDateTime::currentDateTime());
    return QStringLiteral("data:image/svg,") +
           QrCodeGenerator().generateSvgQr(line, 1, qrcodegen::QrCode::Ecc::MEDIUM);
}
