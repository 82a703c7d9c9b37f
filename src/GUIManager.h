#pragma once

#include "Board.h"
#include "Clock.h"
#include "Config.h"
#include "Diagnostics.h"
#include "EventManager.h"
#include "Inspector.h"
#include "LatencyProbe.h"
#include "MqttClient.h"
#include "Network.h"
#include "ScreenController.h"
#include "SessionManager.h"
#include "Transaction.h"
#include "UiService.h"
#include "Update.h"
#include "Validator.h"

#include <QColor>
#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QQmlApplicationEngine>
#include <QString>
#include <QTranslator>
#include <QVariantMap>

class QQmlContext;

// The application core: owns the broker connection, every manager, the screen controller and the
// UI's service endpoint, and wires them together; loads the window, the language and the serial
// number, and is the QML context property "manager".
class GUIManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString screen READ screen WRITE setScreen NOTIFY screenChanged)
    Q_PROPERTY(QString deviceId READ deviceId WRITE setDeviceId NOTIFY deviceIdChanged)
    Q_PROPERTY(QString language READ language WRITE setLanguage NOTIFY languageChanged)
    Q_PROPERTY(QString dynTr READ dynTr NOTIFY languageChanged)
    Q_PROPERTY(QString message READ message NOTIFY messageChanged)
    Q_PROPERTY(bool showCursor READ showCursor WRITE setShowCursor NOTIFY showCursorChanged)
    Q_PROPERTY(
        bool showErrorDesc READ showErrorDesc WRITE setShowErrorDesc NOTIFY showErrorDescChanged)
    Q_PROPERTY(
        int displayOffMin READ displayOffMin WRITE setDisplayOffMin NOTIFY displayOffMinChanged)
    Q_PROPERTY(int shutdownDelaySec READ shutdownDelaySec WRITE setShutdownDelaySec NOTIFY
                   shutdownDelaySecChanged)
    Q_PROPERTY(QColor screenSaverBg READ screenSaverBg NOTIFY screenSaverBgChanged)
    Q_PROPERTY(QString screenSaverImg READ screenSaverImg NOTIFY screenSaverImgChanged)
    Q_PROPERTY(Diagnostics *diagnostics READ diagnostics NOTIFY diagnosticsChanged)
    Q_PROPERTY(manager::Update *update READ update NOTIFY updateChanged)
    Q_PROPERTY(manager::Clock *clock READ clock NOTIFY clockChanged)
    Q_PROPERTY(
        int animSwitchSec READ animSwitchSec WRITE setAnimSwitchSec NOTIFY animSwitchSecChanged)
public:
    // The built-in configuration defaults.
    static const QVariantMap Defaults;
    // The allowed range of the numeric settings that timers and the board use.
    static const QMap<QString, QPair<int, int>> Limits;

    explicit GUIManager(Config &config);
    ~GUIManager() override;

    // Loads the QML window, sets the language and records the start; called once by main.
    void load();
    // The QML types the screens create or name.
    static void registerQmlTypes();
    // The context properties the screens bind to: "manager" and the managers they reach
    // directly.
    void exposeTo(QQmlContext *context);

    QString screen() const { return m_screens.screen(); }
    void setScreen(const QString &value);
    QString deviceId() const { return m_deviceId; }
    void setDeviceId(const QString &id);
    QString language() const { return m_language; }
    void setLanguage(const QString &lang);
    // Always empty: bindings prefix it to qsTr() so that a language change re-translates them.
    QString dynTr() const { return QString(); }
    QString message() const { return m_screens.message(); }
    void setMessage(const QString &message) { m_screens.setMessage(message); }

    bool showCursor() const;
    void setShowCursor(bool value);
    bool showErrorDesc() const;
    void setShowErrorDesc(bool value);
    int displayOffMin() const;
    void setDisplayOffMin(int value);
    int shutdownDelaySec() const;
    void setShutdownDelaySec(int value);
    QColor screenSaverBg() const;
    QString screenSaverImg() const;
    int animSwitchSec() const;
    void setAnimSwitchSec(int value);

    // The out-of-order message: the validator's reason code, and its text when configured.
    QString validatorReason() const { return m_screens.validatorReason(); }

    manager::MqttClient &mqtt() { return m_mqtt; }
    manager::Validator &validator() { return m_validator; }
    manager::Board &board() { return m_board; }
    manager::Inspector &inspector() { return m_inspector; }
    manager::Network &network() { return m_network; }
    // All three fixed for the manager's life.
    Diagnostics *diagnostics() { return &m_diagnostics; }
    manager::Update *update() { return &m_update; }
    manager::Clock *clock() { return &m_clock; }
    SessionManager &session() { return m_session; }
    EventManager &eventLog() { return m_eventLog; }
    // The time-out of the screen shown (ms), or -1 for a permanent screen.
    int screenTimeout() const { return m_screens.screenTimeout(); }
    bool displayOffPending() const { return m_screens.displayOffPending(); }

signals:
    void screenChanged();
    void deviceIdChanged();
    void languageChanged();
    void settingsAccessGranted();
    void settingsAccessDenied();
    void messageChanged();
    void showCursorChanged();
    void showErrorDescChanged();
    void displayOffMinChanged();
    void shutdownDelaySecChanged();
    void errorOccured(const QString &error);
    void diagnosticsChanged();
    void updateChanged();
    void clockChanged();
    void barcodeConfigurationApplied(const QStringList &configList);
    void screenSaverBgChanged();
    void screenSaverImgChanged();
    void animSwitchSecChanged();

public slots:
    void settingsLoginRequest(QString pin);
    void settingsLogoutRequest();
    void setIdleScreen();
    void setOutOfOrderScreen(QString message);
    void setScreen(QString value, int timeout);
    void saveDeviceIdRequest(QString deviceId);
    void setMaintenanceScreen();
    void shutdownRequest();
    void rebootRequest();
    void exitRequest();

private slots:
    // The screen decisions and the UI's service topics are made by m_screens and m_service;
    // these are the reactions the managers are wired to.
    void onScreenTimeout();
    void onDisplayOffTimeout();
    void onValidatorStatusChanged();
    void onValidatorReasonChanged();
    void onIgnitionChanged();
    void updateBoardShutdownDelay();
    void onMqttConnected();
    void onMqttDisconnected();
    void onMqttError(const QString &error);
    void processMqttMessage(const QByteArray &data, const QByteArray &topic);
    void onConfigChanged(const QVariantMap &changes);
    void onConfigFileChanged();
    // Applies a maintenance barcode's validator and wired-network settings during a session.
    void onMaintenanceBarcodeScanned(const QJsonObject &data);

private:
    void loadDeviceId();
    void saveDeviceId();
    void initLog();
    void initConfig();
    void initQml();
    void initMqtt();
    void initManagers();
    void initReactions();
    void subscribeToTopics() { m_service.subscribeToTopics(); }
    void publishInfo() { m_service.publishInfo(); }
    void publishStatus() { m_service.publishStatus(); }
    void publishConfig() { m_service.publishConfig(); }

    QString m_deviceId;
    QString m_language;
    QQmlApplicationEngine m_engine;
    QQmlContext *m_qmlContext = nullptr;
    QTranslator m_translator;
    Config &m_config;
    manager::MqttClient m_mqtt;
    manager::Validator m_validator;
    manager::Board m_board;
    manager::Inspector m_inspector;
    manager::Network m_network;
    manager::Update m_update;
    manager::Clock m_clock;
    SessionManager m_session;
    EventManager m_eventLog;
    // The screen shown, with its time-out, message and display-off delay.
    ScreenController m_screens;
    UiService m_service;
    // Last: it refers to the device id and the managers above.
    Diagnostics m_diagnostics;
    // Host, port, user and password of the connection made last.
    QStringList m_connection;
    // Only when the environment asks for it.
    LatencyProbe *m_probe = nullptr;
};
