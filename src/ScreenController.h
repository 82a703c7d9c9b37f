#pragma once

#include "Board.h"
#include "Config.h"
#include "EventManager.h"
#include "Inspector.h"
#include "SessionManager.h"
#include "Transaction.h"
#include "Validator.h"

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>

// Decides the screen the window shows: temporary screens with their single time-out, the idle
// decision from the validator's status, the ignition and the maintenance session, the result
// screens with their sounds, the out-of-order rule and the display-off delay. It only uses the
// managers it is given; the application core owns it and wires the managers' signals to it.
class ScreenController : public QObject
{
    Q_OBJECT
public:
    // The sounds the inspector service plays for a result.
    static const QString ValidSound;
    static const QString InvalidSound;

    ScreenController(Config &config, manager::Validator &validator, manager::Board &board,
                     manager::Inspector &inspector, SessionManager &session, EventManager &eventLog,
                     QObject *parent = nullptr);

    QString screen() const { return m_screen; }
    // In the current language.
    QString message() const;
    // The time-out of the screen shown (ms), or -1 for a permanent screen.
    int screenTimeout() const { return m_screenTimer.isActive() ? m_screenTimeout : -1; }
    bool displayOffPending() const { return m_displayOffTimer.isActive(); }
    // The last validation result as the result screens read it, in the current language.
    QVariantMap transaction() const;

    // The out-of-order message: the validator's reason code, and its text when configured.
    QString validatorReason() const;

    // Without a serial number the unit can only ask for one.
    void setHasDeviceId(bool known) { m_hasDeviceId = known; }

    // A message shown as it is (a reason code, "Disconnected").
    void setMessage(const QString &text);
    // A message translated in the core's context, so that it follows a language change.
    void setTranslatedMessage(const char *source);

signals:
    void screenChanged();
    void messageChanged();
    void transactionChanged();

public slots:
    void setScreen(const QString &value);
    void setScreen(const QString &value, int timeout);
    void setIdleScreen();
    void setOutOfOrderScreen(const QString &message);
    // As above, with a message of the "GUIManager" catalogue, shown in the current language.
    void setTranslatedOutOfOrderScreen(const char *source);
    void setMaintenanceScreen();
    void shutdownRequest();
    void rebootRequest();
    void exitRequest();

    void onScreenTimeout();
    void onDisplayOffTimeout();
    void onValidatorStatusChanged();
    void onValidatorReasonChanged();
    void onCardDetected(const QString &uid, const QString &type);
    void onCardRemoved();
    void onTicketValidated(const Transaction &transaction);
    void onCardRetry();
    void onSessionActiveChanged();
    void onIgnitionChanged();
    void onRebootStarted();
    void onShutdownStarted();
    void onDisplayOffMinChanged();
    void onShowErrorDescChanged();
    void updateBoardShutdownDelay();
    // The texts translated here follow a language change.
    void retranslate();

private:
    // Shows "OutOfOrder" unless the PIN page, a maintenance session or the ignition off keeps
    // the screen; true when it did.
    bool outOfOrderShown();
    // leaving: the screen shown ends (its time-out, or the second press on the PIN page), so
    // the decision must move away from it.
    void decideIdleScreen(bool leaving);
    // The decision reached a screen: it is permanent.
    void showIdle(const QString &screen);
    void showBusy(const char *message);
    void showReason();
    void onScreenChanged();
    void pushEvent(const QString &category, const QString &name);
    int displayOffMin() const;
    int shutdownDelaySec() const;

    Config &m_config;
    manager::Validator &m_validator;
    manager::Board &m_board;
    manager::Inspector &m_inspector;
    SessionManager &m_session;
    EventManager &m_eventLog;

    QString m_screen;
    QString m_message;
    const char *m_messageSource = nullptr; // set: m_message is its translation
    QJsonObject m_transaction;
    QTimer m_screenTimer;
    QTimer m_displayOffTimer;
    int m_screenTimeout = -1;      // of the temporary screen shown
    bool m_displayOffByUs = false; // the display was switched off by the display-off delay
    bool m_hasDeviceId = false;
};
