#pragma once

#include "Config.h"
#include "MqttClient.h"

#include <QObject>
#include <QQmlApplicationEngine>
#include <QString>
#include <QVariantMap>

// The application core: owns the broker connection and the managers, loads the window and is
// the QML context property "manager".
class GUIManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString message READ message NOTIFY messageChanged)
public:
    // The built-in configuration defaults.
    static const QVariantMap Defaults;

    explicit GUIManager(Config &config);
    ~GUIManager() override;

    // Loads the QML window; called once by main right after construction.
    void load();

    QString message() const { return m_message; }
    void setMessage(const QString &message);

signals:
    void messageChanged();

private slots:
    void onMqttConnected();
    void onMqttDisconnected();
    void onMqttError(const QString &error);
    void onConfigChanged(const QVariantMap &changes);
    void onConfigFileChanged();

private:
    void initLog();
    void initConfig();
    void initQml();
    void initMqtt();

    QString m_message;
    QQmlApplicationEngine m_engine;
    Config &m_config;
    manager::MqttClient m_mqtt;
};
