#include "ScreenController.h"

#include "EventLogin.h"
#include "EventLogout.h"
#include "Logger.h"

#include <QCoreApplication>
#include <QJsonDocument>

#include <algorithm>
#include <climits>

const QString ScreenController::ValidSound = QStringLiteral("/opt/velt/pernix/Valid.wav");
const QString ScreenController::InvalidSound = QStringLiteral("/opt/velt/pernix/Invalid.wav");

namespace {

// The core's texts live in its translation context.
const char *const Context = "GUIManager";

const char *const Prefix = "[GUIManager] ";

bool isOneOf(const QString &value, std::initializer_list<const char *> names)
{
    return std::any_of(names.begin(), names.end(),
                       [&value](const char *name) { return value == QLatin1String(name); });
}

} // namespace

ScreenController::ScreenController(Config &config, manager::Validator &validator,
                                   manager::Board &board, manager::Inspector &inspector,
                                   SessionManager &session, EventManager &eventLog, QObject *parent)
    : QObject(parent), m_config(config), m_validator(validator), m_board(board),
      m_inspector(inspector), m_session(session), m_eventLog(eventLog)
{
    m_screenTimer.setSingleShot(true);
    m_displayOffTimer.setSingleShot(true);
    connect(&m_screenTimer, &QTimer::timeout, this, &ScreenController::onScreenTimeout);
    connect(&m_displayOffTimer, &QTimer::timeout, this, &ScreenController::onDisplayOffTimeout);
}

// ---------------------------------------------------------------------------------------------
// Screens

void ScreenController::setScreen(const QString &value)
{
    if (value == m_screen)
        return;
    LOG_INFO << Prefix << "Setting screen : " << value;
    m_screen = value;
    m_screenTimer.stop();
    onScreenChanged();
    emit screenChanged();
}

void ScreenController::setScreen(const QString &value, int timeout)
{
    LOG_INFO << Prefix << "Setting screen : " << value << " (timeout=" << timeout << " msec)";
    m_screenTimer.start(timeout);
    m_screenTimeout = timeout;
    m_screen = value;
    onScreenChanged();
    emit screenChanged();
}

void ScreenController::onScreenTimeout()
{
    LOG_INFO << Prefix << "Screen timeout : " << m_screen;
    decideIdleScreen(true);
}

void ScreenController::setIdleScreen()
{
    decideIdleScreen(false);
}

void ScreenController::showIdle(const QString &screen)
{
    m_screenTimer.stop();
    setScreen(screen);
}

void ScreenController::decideIdleScreen(bool leaving)
{
    if (!m_hasDeviceId) {
        showIdle(QStringLiteral("InitPage"));
        return;
    }
    if (m_session.sessionActive()) {
        // The maintenance screens stay; a temporary screen that ends goes back to them.
        if (leaving)
            showIdle(QStringLiteral("Settings"));
        return;
    }

    const QString status = m_validator.status();
    if (status == QLatin1String("init")) {
        showIdle(QStringLiteral("Busy"));
        setTranslatedMessage(QT_TRANSLATE_NOOP("GUIManager", "Please Wait"));
    } else if (status == QLatin1String("out-of-service")) {
        showIdle(QStringLiteral("OutOfService"));
        m_validator.disableRfid();
        m_validator.disableBarcode();
    } else if (isOneOf(status, {"online", "degraded"})) {
        m_validator.enableRfid();
        m_validator.enableBarcode();
        showIdle(QStringLiteral("ScanScreens"));
    } else {
        if (m_board.ignitionKnown() && !m_board.ignition()) {
            // Asleep with the ignition off: nobody to serve, nothing to report.
            showIdle(QStringLiteral("ScreenSaver"));
        } else if (m_screen == QLatin1String("Login") && !leaving) {
            // A technician is typing the PIN: the page stays with the rest of its time-out,
            // whose end applies this rule.
        } else {
            showIdle(QStringLiteral("OutOfOrder"));
            setMessage(validatorReason());
        }
        m_validator.disableRfid();
        m_validator.disableBarcode();
    }
}

QString ScreenController::validatorReason() const
{
    QString text = m_validator.reasonCode();
    if (m_config.get(QStringLiteral("gui/showErrorDesc")).toBool())
        text += QLatin1Char('\n') + m_validator.reason();
    return text;
}

bool ScreenController::outOfOrderShown()
{
    if (m_screen == QLatin1String("Login") || m_session.sessionActive() ||
        (m_board.ignitionKnown() && !m_board.ignition()))
        return false;
    setScreen(QStringLiteral("OutOfOrder"));
    return true;
}

void ScreenController::setOutOfOrderScreen(const QString &message)
{
    if (outOfOrderShown())
        setMessage(message);
}

void ScreenController::setTranslatedOutOfOrderScreen(const char *source)
{
    if (outOfOrderShown())
        setTranslatedMessage(source);
}

void ScreenController::setMaintenanceScreen()
{
    if (m_session.sessionActive())
        setScreen(QStringLiteral("Settings"));
    else if (m_screen == QLatin1String("Login"))
        decideIdleScreen(true); // a second press leaves the PIN page
    else
        setScreen(QStringLiteral("Login"), 15000);
}

void ScreenController::showBusy(const char *message)
{
    setScreen(QStringLiteral("Busy"), 30000);
    setTranslatedMessage(message);
}

void ScreenController::shutdownRequest()
{
    showBusy(QT_TRANSLATE_NOOP("GUIManager", "Shutting down"));
    m_inspector.systemShutdown();
}

void ScreenController::rebootRequest()
{
    showBusy(QT_TRANSLATE_NOOP("GUIManager", "Rebooting"));
    m_inspector.systemReboot();
}

void ScreenController::exitRequest()
{
    showBusy(QT_TRANSLATE_NOOP("GUIManager", "Exiting"));
    QTimer::singleShot(2000, qApp, [] { QCoreApplication::exit(0); });
}

void ScreenController::onRebootStarted()
{
    showBusy(QT_TRANSLATE_NOOP("GUIManager", "Rebooting"));
}

void ScreenController::onShutdownStarted()
{
    showBusy(QT_TRANSLATE_NOOP("GUIManager", "Shutting down"));
}

// ---------------------------------------------------------------------------------------------
// Message

QString ScreenController::message() const
{
    return m_messageSource ? QCoreApplication::translate(Context, m_messageSource) : m_message;
}

void ScreenController::setMessage(const QString &text)
{
    const QString before = message();
    m_messageSource = nullptr;
    m_message = text;
    if (message() != before)
        emit messageChanged();
}

void ScreenController::setTranslatedMessage(const char *source)
{
    const QString before = message();
    m_messageSource = source;
    m_message.clear();
    if (message() != before)
        emit messageChanged();
}

void ScreenController::showReason()
{
    // While the validator starts it reports no reason: the status message ("Please Wait")
    // stays.
    if (m_validator.reasonCode().isEmpty())
        return;
    setMessage(validatorReason());
}

void ScreenController::retranslate()
{
    if (m_messageSource)
        emit messageChanged();
    if (!m_transaction.isEmpty())
        emit transactionChanged();
}

// ---------------------------------------------------------------------------------------------
// Validator

void ScreenController::onValidatorStatusChanged()
{
    LOG_INFO << Prefix << "Validator status changed : " << m_validator.status();
    setIdleScreen();
}

void ScreenController::onValidatorReasonChanged()
{
    LOG_WARNING << Prefix << "Validator reason changed : " << m_validator.reasonCode() << " "
                << m_validator.reason();
    showReason();
}

void ScreenController::onShowErrorDescChanged()
{
    showReason();
}

QVariantMap ScreenController::transaction() const
{
    return Transaction(m_transaction).toMap();
}

void ScreenController::onTicketValidated(const Transaction &transaction)
{
    LOG_WARNING << Prefix << "Validator ticket validated : " << int(transaction.type())
                << " Valid : " << manager::boolText(transaction.valid()) << " Contents : "
                << QJsonDocument(QJsonObject::fromVariantMap(transaction.toMap()))
                       .toJson(QJsonDocument::Compact);
    m_transaction = transaction.data();
    emit transactionChanged();
    if (m_session.sessionActive())
        return;

    if (transaction.valid()) {
        m_inspector.audioPlay(ValidSound);
        setScreen(QStringLiteral("Valid"), 3000);
    } else if (transaction.denyReasonId() == 103 || transaction.denyReasonId() == 207) {
        m_inspector.audioPlay(InvalidSound);
        setScreen(QStringLiteral("AlreadyValid"), 3000);
    } else {
        m_inspector.audioPlay(InvalidSound);
        setScreen(QStringLiteral("Invalid"), 3000);
    }
}

void ScreenController::onCardDetected(const QString &uid, const QString &type)
{
    LOG_WARNING << Prefix
                << QStringLiteral("Validator card detected : uid=%1, type=%2").arg(uid, type);
}

void ScreenController::onCardRemoved()
{
    LOG_WARNING << Prefix << "Validator card removed";
}

void ScreenController::onCardRetry()
{
    LOG_WARNING << Prefix << "Validator card retry";
    if (m_session.sessionActive())
        return;
    m_inspector.audioPlay(InvalidSound);
    setScreen(QStringLiteral("Retry"), 3000);
}

// ---------------------------------------------------------------------------------------------
// Session and ignition

void ScreenController::onSessionActiveChanged()
{
    if (m_session.sessionActive()) {
        if (const User *user = m_session.user())
            m_eventLog.push(new EventLogin(*user));
        return;
    }
    setIdleScreen();
    m_eventLog.push(new EventLogout());
}

void ScreenController::onIgnitionChanged()
{
    if (m_board.ignition()) {
        pushEvent(QStringLiteral("Board"), QStringLiteral("Ignition on"));
        m_inspector.abortShutdown();
        setIdleScreen();
        return;
    }
    pushEvent(QStringLiteral("Board"), QStringLiteral("Ignition off"));
    m_session.logoutRequest();
    m_inspector.scheduleShutdown(shutdownDelaySec());
    setScreen(QStringLiteral("ScreenSaver"));
}

int ScreenController::shutdownDelaySec() const
{
    return m_config.get(QStringLiteral("gui/shutdownDelaySec")).toInt();
}

void ScreenController::updateBoardShutdownDelay()
{
    // The board cuts the power a minute after the system has shut itself down.
    const int target = int(std::min<qint64>(qint64(shutdownDelaySec()) + 60, INT_MAX));
    if (m_board.delayShutdownFor() == target)
        return;
    LOG_WARNING << Prefix << "WARN: Updating board shutdown delay to : " << target
                << " sec(s) (prev=" << m_board.delayShutdownFor() << ")";
    m_board.setDelayShutdownFor(target);
}

void ScreenController::pushEvent(const QString &category, const QString &name)
{
    m_eventLog.push(new Event(category, name, QString(), QDateTime::currentDateTime()));
}

// ---------------------------------------------------------------------------------------------
// Display off

int ScreenController::displayOffMin() const
{
    return m_config.get(QStringLiteral("gui/displayOffMin")).toInt();
}

void ScreenController::onScreenChanged()
{
    const int minutes = displayOffMin();
    if (minutes <= 0)
        return;
    if (isOneOf(m_screen, {"OutOfOrder", "OutOfService"})) {
        LOG_INFO << Prefix << "Staring Display OFF timer : " << minutes << " min(s)";
        // A timer takes at most INT_MAX ms (almost 25 days): longer is "never" all the same.
        m_displayOffTimer.start(int(std::min<qint64>(qint64(minutes) * 60000, INT_MAX)));
        return;
    }
    if (m_displayOffTimer.isActive()) {
        LOG_INFO << Prefix << "Stopping Display OFF timer.";
        m_displayOffTimer.stop();
    }
    if (!m_board.peripheralPower(QStringLiteral("display"))) {
        LOG_INFO << Prefix << "Turning on Display.";
        m_board.setPeripheralPower(QStringLiteral("display"), true);
        m_displayOffByUs = false;
    }
}

void ScreenController::onDisplayOffTimeout()
{
    LOG_WARNING << Prefix << "WARN: Turning off Display due to inactivity.";
    m_board.setPeripheralPower(QStringLiteral("display"), false);
    m_displayOffByUs = true;
}

void ScreenController::onDisplayOffMinChanged()
{
    if (displayOffMin() > 0)
        return; // a running delay keeps its length; the next screen uses the new one
    // Never switched off from now on: a delay under way is dropped, and a display we switched
    // off comes back, or nothing would ever switch it on again.
    if (m_displayOffTimer.isActive()) {
        LOG_INFO << Prefix << "Stopping Display OFF timer.";
        m_displayOffTimer.stop();
    }
    if (m_displayOffByUs) {
        LOG_INFO << Prefix << "Turning on Display.";
        m_board.setPeripheralPower(QStringLiteral("display"), true);
        m_displayOffByUs = false;
    }
}
