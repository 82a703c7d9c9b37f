#include "BarcodeService.h"

#include "Logger.h"

#include <QJsonObject>

namespace sim {

BarcodeService::BarcodeService(manager::MqttClient &mqtt, const QString &base, QObject *parent)
    : SimService(mqtt, base, QStringLiteral("barcode"), parent)
{
    subscribeTo({"/enable", "/disable"});
}

void BarcodeService::publishAll()
{
    const QJsonObject device{{"firmware", QStringLiteral("3.2.07")},
                             {"manufacturer", QStringLiteral("Bench Devices")},
                             {"model", QStringLiteral("BR-2D sim")}};
    const QJsonObject service{{"version", QStringLiteral("1.6.0")},
                              {"type", QStringLiteral("simulated")}};
    publishReport(QStringLiteral("/info"), {{"device", device}, {"service", service}});
    publishStatus();
}

void BarcodeService::publishStatus()
{
    publishReport(
        QStringLiteral("/status"),
        {{"service", true}, {"device", QJsonObject{{"active", m_active}, {"enabled", m_enabled}}}});
}

void BarcodeService::onMessage(const QString &topic, const QByteArray &payload)
{
    if (topic == m_base + QLatin1String("/enable")) {
        logRequest(topic, payload);
        m_enabled = true;
        publishStatus();
    } else if (topic == m_base + QLatin1String("/disable")) {
        logRequest(topic, payload);
        m_enabled = false;
        publishStatus();
    }
}

QString BarcodeService::command(const QStringList &args)
{
    const QString what = args.value(0).toLower();
    bool ok = false;
    if (what == QLatin1String("scan")) {
        const QString data = args.mid(1).join(QLatin1Char(' '));
        if (data.isEmpty())
            return QStringLiteral("expected the scanned text");
        // A reader that is missing or switched off reads nothing.
        if (!m_active)
            return QStringLiteral("barcode reader is not active; scan dropped");
        if (!m_enabled)
            return QStringLiteral("barcode reader is disabled; scan dropped");
        LOG_INFO << "[sim:barcode] Scanned " << data;
        publishReport(QStringLiteral("/barcode"), {{"data", data}}, false);
        return QString();
    }
    if (what == QLatin1String("active")) {
        const bool active = parseSwitch(args.value(1), &ok);
        if (!ok || args.size() != 2)
            return QStringLiteral("expected on or off");
        m_active = active;
        publishStatus();
        return QString();
    }
    const bool enabled = parseSwitch(what, &ok);
    if (ok && args.size() == 1) {
        m_enabled = enabled;
        publishStatus();
        return QString();
    }
    if (what.isEmpty())
        return QStringLiteral("expected a barcode command");
    return QStringLiteral("unknown barcode command '%1'").arg(args.first());
}

QStringList BarcodeService::help() const
{
    return {
        QStringLiteral("barcode scan <text...>          the reader reads a code"),
        QStringLiteral("barcode <on|off>                reader enabled"),
        QStringLiteral("barcode active <on|off>         reader present and answering"),
    };
}

} // namespace sim
