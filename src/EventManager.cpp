#include "EventManager.h"

#include "AtomicFile.h"
#include "IniText.h"
#include "Logger.h"
#include "SettingsLeftovers.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QTemporaryFile>

#include <algorithm>

namespace {

const Event *entry(const QObject *object)
{
    return static_cast<const Event *>(object);
}

} // namespace

int EventManager::severity(const Event &event)
{
    // A maintenance session takes the unit out of passenger service and may change its
    // settings: worth finding among the ignition cycles and start-ups, which are routine.
    // Nothing recorded today is critical; that level waits for faults.
    if (event.name() == QLatin1String("Maintenance login") ||
        event.name() == QLatin1String("Maintenance logout"))
        return Warning;
    return Info;
}

EventManager::EventManager(Config &config, QObject *parent)
    : EventManager(config,
                   // The environment may point elsewhere (tests, a bench with a read-only
                   // installation).
                   qEnvironmentVariable("PERNIX_EVENT_LOG", QCoreApplication::applicationDirPath() +
                                                                QStringLiteral("/events.ini")),
                   parent)
{}

EventManager::EventManager(Config &config, const QString &filename, QObject *parent)
    : QObject(parent), m_config(config), m_filename(filename)
{
    for (const QString &path : SettingsLeftovers::removeAll(m_filename))
        LOG_WARNING << "[EventManager] Removed the leftover of an interrupted write : " << path;
    load();
    clear(QDateTime::currentDateTime().addDays(-KeepDays));
}

EventManager::~EventManager()
{
    qDeleteAll(m_data);
}

void EventManager::load()
{
    // A private copy, with the timestamps handed over as bytes (see initext); QSettings also
    // caches a file by name and could miss a quick rewrite of it.
    QFile source(m_filename);
    if (!source.exists())
        return;
    QTemporaryFile copy;
    if (!source.open(QIODevice::ReadOnly) || !copy.open() ||
        copy.write(initext::withStreamedValuesAsBytes(source.readAll())) < 0 || !copy.flush()) {
        LOG_CRITICAL << "[EventManager] ERROR: Could not read the event log : " << m_filename;
        return;
    }
    QSettings settings(copy.fileName(), QSettings::NativeFormat);
    const int count = std::max(0, settings.beginReadArray(QStringLiteral("events")));
    const int from = count > LoadLimit ? count - LoadLimit : 0;
    LOG_INFO << QStringLiteral("[EventManager] Loading saved events : from=%1 to=%2")
                    .arg(from)
                    .arg(count);
    for (int i = from; i < count; ++i) {
        settings.setArrayIndex(i);
        const QVariant timestamp = settings.value(QStringLiteral("timestamp"));
        m_data.append(new Event(settings.value(QStringLiteral("category")).toString(),
                                settings.value(QStringLiteral("name")).toString(),
                                settings.value(QStringLiteral("desc")).toString(),
                                timestamp.type() == QVariant::ByteArray
                                    ? initext::dateTimeFromStream(timestamp.toByteArray())
                                    : timestamp.toDateTime()));
    }
    settings.endArray();
}

void EventManager::save()
{
    for (const QString &path : SettingsLeftovers::removeStaleLocks(m_filename))
        LOG_WARNING << "[EventManager] Removed the leftover of an interrupted write : " << path;
    // QSettings fills a private file (it would parse the old log first, damaged values
    // included, if it wrote over it), which then replaces the log whole: a power cut leaves the
    // old log or the new one.
    QTemporaryFile scratch;
    if (!scratch.open()) {
        LOG_WARNING << "[EventManager] Could not save events to : " << m_filename << " ("
                    << scratch.errorString() << ")";
        return;
    }
    {
        QSettings settings(scratch.fileName(), QSettings::NativeFormat);
        settings.beginWriteArray(QStringLiteral("events"), m_data.size());
        for (int i = 0; i < m_data.size(); ++i) {
            const Event *event = entry(m_data.at(i));
            settings.setArrayIndex(i);
            settings.setValue(QStringLiteral("category"), event->category());
            settings.setValue(QStringLiteral("name"), event->name());
            settings.setValue(QStringLiteral("desc"), event->description());
            settings.setValue(QStringLiteral("timestamp"), event->timestamp());
        }
        settings.endArray();
        settings.sync();
    }
    QFile written(scratch.fileName());
    QString error;
    if (!written.open(QIODevice::ReadOnly) ||
        !atomicfile::write(m_filename, written.readAll(), &error)) {
        LOG_WARNING << "[EventManager] Could not save events to : " << m_filename << " ("
                    << (error.isEmpty() ? written.errorString() : error) << ")";
    }
}

void EventManager::push(Event *event)
{
    if (!event)
        return;
    if (m_data.size() > LoadLimit)
        m_data.takeFirst()->deleteLater();
    m_data.append(event);
    save();
    update();
}

void EventManager::clear(QDateTime before)
{
    int removed = 0;
    for (auto it = m_data.begin(); it != m_data.end();) {
        const QDateTime timestamp = entry(*it)->timestamp();
        // An entry without a valid time (a damaged file) cannot be placed: it goes too.
        if (!timestamp.isValid() || timestamp <= before) {
            (*it)->deleteLater();
            it = m_data.erase(it);
            ++removed;
        } else {
            ++it;
        }
    }
    LOG_INFO << QStringLiteral("[EventManager] Deleted %1 event(s) older than %2")
                    .arg(removed)
                    .arg(before.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    if (removed > 0)
        save();
    update();
}

void EventManager::clear()
{
    if (m_data.isEmpty())
        return;
    for (QObject *event : qAsConst(m_data))
        event->deleteLater();
    m_data.clear();
    m_visible.clear();
    save();
    update();
}

void EventManager::update()
{
    m_visible.clear();
    for (QObject *object : qAsConst(m_data)) {
        const Event *event = entry(object);
        if (m_filterFrom.isValid() && event->timestamp() < m_filterFrom)
            continue;
        if (m_filterTo.isValid() && m_filterTo < event->timestamp())
            continue;
        if (!m_filterName.isEmpty() && !event->name().contains(m_filterName, Qt::CaseInsensitive))
            continue;
        if (severity(*event) < m_filterSeverity)
            continue;
        m_visible.append(object);
    }
    std::stable_sort(m_visible.begin(), m_visible.end(), [](QObject *a, QObject *b) {
        return entry(b)->timestamp() < entry(a)->timestamp();
    });
    emit dataChanged();
}

void EventManager::applyFilter(QString name)
{
    LOG_INFO << "[EventManager] Filtering : name=" << name;
    m_filterName = name;
    update();
}

void EventManager::applyFilter(int severity)
{
    LOG_INFO << "[EventManager] Filtering : severity=" << severity;
    m_filterSeverity = severity;
    update();
}

void EventManager::applyFilter(QDateTime from, QDateTime to)
{
    LOG_INFO << "[EventManager] Filtering : from=" << from.toString(Qt::TextDate)
             << " to=" << to.toString(Qt::TextDate);
    m_filterFrom = from;
    m_filterTo = to;
    update();
}

void EventManager::applyFilterPeriod(QString period)
{
    LOG_INFO << "[EventManager] Filtering (period) : " << period;
    const QDateTime now = QDateTime::currentDateTime();
    const QDate today = now.date();
    const QTime endOfDay(23, 59, 59);

    QDateTime from;
    QDateTime to;
    if (period == QLatin1String("Last hour")) {
        from = now.addSecs(-3600);
        to = now;
    } else if (period == QLatin1String("Last 2 hours")) {
        from = now.addSecs(-7200);
        to = now;
    } else if (period == QLatin1String("Last 5 hours")) {
        from = now.addSecs(-18000);
        to = now;
    } else if (period == QLatin1String("Today")) {
        from = QDateTime(today, QTime(0, 0));
        to = QDateTime(today, endOfDay);
    } else if (period == QLatin1String("Yesterday")) {
        from = QDateTime(today.addDays(-1), QTime(0, 0));
        to = QDateTime(today.addDays(-1), endOfDay);
    } else if (period == QLatin1String("Last week")) {
        from = QDateTime(today.addDays(-7), QTime(0, 0));
        to = now;
    } else if (period == QLatin1String("Last month")) {
        from = QDateTime(today.addMonths(-1), QTime(0, 0));
        to = now;
    }
    applyFilter(from, to);
}
