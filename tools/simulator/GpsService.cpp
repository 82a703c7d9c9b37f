#include "GpsService.h"

#include "Logger.h"

#include <QJsonObject>
#include <QtMath>

namespace sim {

namespace {

// Receiver states as the service numbers them.
const int StateDisabled = 1;
const int StateEnabled = 2;

// The readers take every value as text, so numbers travel as strings.
QString decimal(double value, int digits)
{
    return QString::number(value, 'f', digits);
}

// Initial bearing from one point to another, degrees clockwise from north.
double bearing(double lat1, double lon1, double lat2, double lon2)
{
    const double phi1 = qDegreesToRadians(lat1);
    const double phi2 = qDegreesToRadians(lat2);
    const double dLambda = qDegreesToRadians(lon2 - lon1);
    const double y = qSin(dLambda) * qCos(phi2);
    const double x = qCos(phi1) * qSin(phi2) - qSin(phi1) * qCos(phi2) * qCos(dLambda);
    const double degrees = qRadiansToDegrees(qAtan2(y, x));
    return degrees < 0 ? degrees + 360.0 : degrees;
}

} // namespace

GpsService::GpsService(manager::MqttClient &mqtt, const QString &base, QObject *parent)
    : SimService(mqtt, base, QStringLiteral("gps"), parent)
{
    subscribeTo({"/enable", "/disable"});
}

void GpsService::publishAll()
{
    const QJsonObject device{{"firmware", QStringLiteral("ROM 3.01 (107888)")},
                             {"manufacturer", QStringLiteral("Bench Devices")},
                             {"model", QStringLiteral("GN-4G sim")},
                             {"imei", QStringLiteral("354869100000017")},
                             {"assisted", true}};
    const QJsonObject service{{"version", QStringLiteral("1.3.2")},
                              {"type", QStringLiteral("simulated")}};
    publishReport(QStringLiteral("/info"), {{"device", device}, {"service", service}});
    publishStatus();
    publishData();
}

void GpsService::publishStatus()
{
    // A receiver that is switched off has no fix, whatever it had before.
    const QJsonObject device{{"fix", m_enabled ? m_fix : 0},
                             {"state", m_enabled ? StateEnabled : StateDisabled},
                             {"error", QString()}};
    publishReport(QStringLiteral("/status"),
                  {{"service", true}, {"device", device}, {"simulation", true}});
}

void GpsService::publishData()
{
    if (!reporting())
        return;
    publishReport(QStringLiteral("/data"),
                  {{"latitude", decimal(m_latitude, 6)},
                   {"longitude", decimal(m_longitude, 6)},
                   {"altitude", decimal(m_altitude, 1)},
                   {"direction", decimal(m_direction, 1)},
                   {"groundSpeed", decimal(m_groundSpeed, 1)},
                   {"magneticVariation", decimal(m_magneticVariation, 1)},
                   {"verticalSpeed", decimal(m_verticalSpeed, 1)},
                   {"verticalAccuracy", decimal(m_verticalAccuracy, 1)},
                   {"horizontalAccuracy", decimal(m_horizontalAccuracy, 1)}});
}

void GpsService::setEnabled(bool enabled)
{
    m_enabled = enabled;
    publishStatus();
    publishData();
}

void GpsService::onMessage(const QString &topic, const QByteArray &payload)
{
    if (topic == m_base + QLatin1String("/enable")) {
        logRequest(topic, payload);
        setEnabled(true);
    } else if (topic == m_base + QLatin1String("/disable")) {
        logRequest(topic, payload);
        setEnabled(false);
    }
}

QString GpsService::command(const QStringList &args)
{
    const QString what = args.value(0).toLower();
    bool ok = false;
    if (what == QLatin1String("position")) {
        if (args.size() != 3 && args.size() != 4)
            return QStringLiteral("expected <latitude> <longitude> [altitude]");
        bool latOk = false;
        bool lonOk = false;
        bool altOk = true;
        const double latitude = args.at(1).toDouble(&latOk);
        const double longitude = args.at(2).toDouble(&lonOk);
        const double altitude = args.size() == 4 ? args.at(3).toDouble(&altOk) : m_altitude;
        if (!latOk || !lonOk || !altOk || qAbs(latitude) > 90.0 || qAbs(longitude) > 180.0)
            return QStringLiteral("expected latitude -90..90 and longitude -180..180 in degrees");
        // Heading of the last move; a standing vehicle keeps the one it had.
        if (latitude != m_latitude || longitude != m_longitude)
            m_direction = bearing(m_latitude, m_longitude, latitude, longitude);
        m_latitude = latitude;
        m_longitude = longitude;
        m_altitude = altitude;
        if (!reporting())
            LOG_INFO << "[sim:gps] Position kept, not reported while disabled or without a fix";
        publishData();
        return QString();
    }
    if (what == QLatin1String("fix")) {
        const int fix = args.value(1).toInt(&ok);
        if (!ok || args.size() != 2 || fix < 0 || fix > 3)
            return QStringLiteral("expected a fix 0 (none), 1 (2D), 2 (3D) or 3 (dead reckoning)");
        m_fix = fix;
        publishStatus();
        publishData();
        return QString();
    }
    const bool enabled = parseSwitch(what, &ok);
    if (ok && args.size() == 1) {
        setEnabled(enabled);
        return QString();
    }
    if (what.isEmpty())
        return QStringLiteral("expected a gps command");
    return QStringLiteral("unknown gps command '%1'").arg(args.first());
}

QStringList GpsService::help() const
{
    return {
        QStringLiteral("gps position <lat> <lon> [alt]  move the receiver (degrees, metres)"),
        QStringLiteral("gps fix <0-3>                   fix: none, 2D, 3D, dead reckoning"),
        QStringLiteral("gps <on|off>                    receiver enabled"),
    };
}

} // namespace sim
