#include "Config.h"
#include "Fonts.h"
#include "GUIManager.h"
#include "TintedImageProvider.h"

#include <QCoreApplication>
#include <QQmlContext>
#include <QQmlEngine>
#include <QTemporaryDir>
#include <QtQuickTest>

#include <memory>

// The QML tests run against the real application core (with no broker behind it), so the
// screens bind to the same properties as in the product.
class Setup : public QObject
{
    Q_OBJECT

public slots:
    void applicationAvailable()
    {
        QCoreApplication::setApplicationName("Pernix");
        QCoreApplication::setApplicationVersion("1.0.18-1-g376f268");
        qputenv("PERNIX_EVENT_LOG", m_dir.filePath("events.ini").toUtf8());
        // Laid out with the fonts the program bundles, as on a unit.
        Fonts::load();
    }

    void qmlEngineAvailable(QQmlEngine *engine)
    {
        if (!m_manager) {
            m_config = std::make_unique<Config>(m_dir.filePath("gui.conf"), GUIManager::Defaults);
            m_config->set("mqtt/host", "127.0.0.1");
            m_config->set("mqtt/port", 1); // nothing listens: the core just keeps trying
            m_config->set("gui/deviceId", m_dir.filePath("serialnumber"));
            m_config->set("log/stderr", false);
            m_config->set("log/syslog", false);
            m_manager = std::make_unique<GUIManager>(*m_config);
        }
        engine->addImageProvider("tinted", new TintedImageProvider);
        m_manager->exposeTo(engine->rootContext());
    }

    void cleanupTestCase()
    {
        m_manager.reset();
        m_config.reset();
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Config> m_config;
    std::unique_ptr<GUIManager> m_manager;
};

QUICK_TEST_MAIN_WITH_SETUP(qml, Setup)

#include "tst_qml.moc"
