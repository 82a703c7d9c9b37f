#include "NetworkService.h"

#include "Logger.h"

#include <QRegularExpression>

namespace sim {

namespace {

const char *const ServiceVersion = "2.1.4";
const char *const Interface = "eth0";
const char *const UsbGadget = "usb0";

// What a DHCP server on the bench LAN would hand out.
const char *const LeaseAddress = "192.168.1.137";
const char *const LeaseNetmask = "255.255.255.0";
const char *const LeaseGateway = "192.168.1.1";
const char *const LeaseDns0 = "192.168.1.1";
const char *const LeaseDns1 = "";

// The service's own spelling for a known word typed in any case; other words pass unchanged,
// so that the screens can be tried with words they do not know.
QString canonical(const QString &word, const QStringList &known)
{
    for (const QString &k : known) {
        if (k.compare(word, Qt::CaseInsensitive) == 0)
            return k;
    }
    return word;
}

QJsonObject ipv4Object(const QString &address, const QString &netmask, const QString &gateway,
                       const QString &dns0, const QString &dns1)
{
    return {{"address", address},
            {"netmask", netmask},
            {"gateway", gateway},
            {"dns0", dns0},
            {"dns1", dns1}};
}

// A text member of a request, or current when it is missing or not a string.
QString textOr(const QJsonObject &request, const char *key, const QString &current)
{
    const QJsonValue value = request.value(QLatin1String(key));
    return value.isString() ? value.toString() : current;
}

} // namespace

NetworkService::NetworkService(manager::MqttClient &mqtt, const QString &base, QObject *parent)
    : SimService(mqtt, base, QStringLiteral("network"), parent)
{
    subscribeTo({"/ethernet/state/get", "/ethernet/config/get", "/ethernet/config/set"});
}

void NetworkService::publishAll()
{
    publishReport(QStringLiteral("/info"),
                  {{"service", QJsonObject{{"version", QLatin1String(ServiceVersion)}}}});
    publishStatus();
    publishState();
    publishConfig();
}

QJsonObject NetworkService::ipv4InUse() const
{
    if (!m_linkUp)
        return ipv4Object(QString(), QString(), QString(), QString(), QString());
    if (m_method == QLatin1String("manual"))
        return ipv4Object(m_address, m_netmask, m_gateway, m_dns0, m_dns1);
    return ipv4Object(QLatin1String(LeaseAddress), QLatin1String(LeaseNetmask),
                      QLatin1String(LeaseGateway), QLatin1String(LeaseDns0),
                      QLatin1String(LeaseDns1));
}

QJsonObject NetworkService::statusReport() const
{
    // eth0 is the unit's only connection, so it is always the primary one.
    const QJsonObject primary{
        {"interface", QLatin1String(Interface)},
        {"stateStr", m_linkUp ? QStringLiteral("Connected") : QStringLiteral("Disconnected")},
        {"typeStr", QStringLiteral("ethernet")},
        {"ipv4", ipv4InUse()}};
    return {{"stateStr", m_state},
            {"connectivityStr", m_connectivity},
            {"hostname", m_hostname},
            {"primaryConnection", primary}};
}

QJsonObject NetworkService::stateReport() const
{
    return {{"interface", QLatin1String(Interface)},
            {"typeStr", QStringLiteral("ethernet")},
            {"stateStr", m_linkUp ? QStringLiteral("Connected") : QStringLiteral("Disconnected")},
            {"reasonStr", m_reason},
            {"mac", m_mac},
            {"ipv4", ipv4InUse()}};
}

QJsonObject NetworkService::configReport() const
{
    return {{"interface", QLatin1String(Interface)},
            {"method", m_method},
            {"address", m_address},
            {"netmask", m_netmask},
            {"gateway", m_gateway},
            {"dns0", m_dns0},
            {"dns1", m_dns1}};
}

void NetworkService::publishStatus()
{
    publishReport(QStringLiteral("/status"), statusReport());
}

void NetworkService::publishState()
{
    publishReport(QStringLiteral("/ethernet/state"), stateReport());
}

void NetworkService::publishConfig()
{
    publishReport(QStringLiteral("/ethernet/config"), configReport());
}

void NetworkService::publishUsbGadget(bool up)
{
    // The service reports its USB gadget link (a technician's laptop on the service port) on the
    // same topics as eth0. Not retained: the retained reports stay eth0's.
    const QString state = up ? QStringLiteral("Connected") : QStringLiteral("Disconnected");
    const QString address = up ? QStringLiteral("172.16.0.1") : QString();
    const QString netmask = up ? QStringLiteral("255.255.255.252") : QString();
    publishReport(QStringLiteral("/ethernet/state"),
                  {{"interface", QLatin1String(UsbGadget)},
                   {"typeStr", QStringLiteral("gadget")},
                   {"stateStr", state},
                   {"reasonStr", up ? QStringLiteral("None") : QStringLiteral("Carrier changed")},
                   {"mac", QStringLiteral("02:4e:56:00:00:02")},
                   {"ipv4", ipv4Object(address, netmask, QString(), QString(), QString())}},
                  false);
    publishReport(QStringLiteral("/ethernet/config"),
                  {{"interface", QLatin1String(UsbGadget)},
                   {"method", QStringLiteral("manual")},
                   {"address", QStringLiteral("172.16.0.1")},
                   {"netmask", QStringLiteral("255.255.255.252")},
                   {"gateway", QString()},
                   {"dns0", QString()},
                   {"dns1", QString()}},
                  false);
}

void NetworkService::onMessage(const QString &topic, const QByteArray &payload)
{
    if (topic == m_base + QLatin1String("/ethernet/state/get")) {
        logRequest(topic, payload);
        publishState();
    } else if (topic == m_base + QLatin1String("/ethernet/config/get")) {
        logRequest(topic, payload);
        publishConfig();
    } else if (topic == m_base + QLatin1String("/ethernet/config/set")) {
        logRequest(topic, payload);
        applyConfig(objectOf(payload));
    }
}

void NetworkService::applyConfig(const QJsonObject &request)
{
    // A screen that has not heard the state yet sends an empty interface; that still means eth0.
    const QString interface = textOr(request, "interface", QString());
    if (!interface.isEmpty() && interface != QLatin1String(Interface)) {
        LOG_WARNING << "[sim:network] No such interface to configure: " << interface;
        return;
    }
    const QString method = textOr(request, "method", m_method);
    if (!method.isEmpty())
        m_method = method;
    m_address = textOr(request, "address", m_address);
    m_netmask = textOr(request, "netmask", m_netmask);
    m_gateway = textOr(request, "gateway", m_gateway);
    m_dns0 = textOr(request, "dns0", m_dns0);
    m_dns1 = textOr(request, "dns1", m_dns1);
    if (m_method == QLatin1String("manual")) {
        LOG_INFO << "[sim:network] eth0 configured: manual " << m_address << "/" << m_netmask
                 << " gw " << m_gateway << " dns " << m_dns0 << ", " << m_dns1;
    } else {
        LOG_INFO << "[sim:network] eth0 configured: " << m_method;
    }
    publishConfig();
    publishState();
    publishStatus();
}

QString NetworkService::command(const QStringList &args)
{
    const QString what = args.value(0).toLower();
    const QStringList rest = args.mid(1);
    if (what == QLatin1String("state")) {
        if (rest.isEmpty())
            return QStringLiteral("expected a state word");
        m_state = canonical(rest.join(QLatin1Char(' ')),
                            {QStringLiteral("Connected"), QStringLiteral("Connecting"),
                             QStringLiteral("Disconnected"), QStringLiteral("Disconnecting"),
                             QStringLiteral("Unknown"), QStringLiteral("Asleep")});
        publishStatus();
        return QString();
    }
    if (what == QLatin1String("connectivity")) {
        if (rest.isEmpty())
            return QStringLiteral("expected a connectivity word");
        m_connectivity =
            canonical(rest.join(QLatin1Char(' ')),
                      {QStringLiteral("Full"), QStringLiteral("Limited"), QStringLiteral("Portal"),
                       QStringLiteral("None"), QStringLiteral("Unknown")});
        publishStatus();
        return QString();
    }
    if (what == QLatin1String("hostname")) {
        static const QRegularExpression valid(QStringLiteral("^[A-Za-z0-9][A-Za-z0-9.-]*$"));
        if (rest.size() != 1 || !valid.match(rest.first()).hasMatch())
            return QStringLiteral("expected one host name (letters, digits, '-' and '.')");
        m_hostname = rest.first();
        publishStatus();
        return QString();
    }
    if (what == QLatin1String("ethernet")) {
        const QString word = rest.value(0).toLower();
        bool up = false;
        if (rest.size() == 1 && (word == QLatin1String("up") || word == QLatin1String("down"))) {
            up = word == QLatin1String("up");
        } else {
            bool ok = false;
            up = parseSwitch(word, &ok);
            if (!ok || rest.size() != 1)
                return QStringLiteral("expected up or down");
        }
        if (up != m_linkUp) {
            m_linkUp = up;
            m_reason = QStringLiteral("Carrier changed");
        }
        publishState();
        publishStatus();
        return QString();
    }
    if (what == QLatin1String("usb0")) {
        const QString word = rest.value(0).toLower();
        if (rest.size() != 1 || (word != QLatin1String("up") && word != QLatin1String("down")))
            return QStringLiteral("expected up or down");
        publishUsbGadget(word == QLatin1String("up"));
        return QString();
    }
    if (what.isEmpty())
        return QStringLiteral("expected a network command");
    return QStringLiteral("unknown network command '%1'").arg(args.first());
}

QStringList NetworkService::help() const
{
    return {
        QStringLiteral("network state <word>            connection state (Connected, Disconnected, "
                       "Connecting, ...)"),
        QStringLiteral(
            "network connectivity <word>     connectivity (Full, Limited, Portal, None)"),
        QStringLiteral("network hostname <name>         host name of the unit"),
        QStringLiteral("network ethernet <up|down>      plug or unplug the eth0 cable"),
        QStringLiteral("network usb0 <up|down>          a laptop on the USB service port (reported "
                       "on the eth0 topics)"),
    };
}

} // namespace sim
