#pragma once

#include "Config.h"
#include "Event.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

// The event log: a bounded history of notable events kept in "events.ini" next to the program,
// with the filtered, newest-first list that the event-log screen shows.
class EventManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QList<QObject *> data READ data NOTIFY dataChanged)
public:
    // At most this many entries are read from the file; one more is kept while running.
    static constexpr int LoadLimit = 1000;
    static constexpr int KeepDays = 30;
    // Severities, lowest first; the severity filter shows the entries at or above its level.
    enum Severity { Info = 0, Warning = 1, Critical = 2 };

    // The severity of an entry of this program.
    static int severity(const Event &event);

    explicit EventManager(Config &config, QObject *parent = nullptr);
    // The log kept in another file (tests, tools).
    EventManager(Config &config, const QString &filename, QObject *parent = nullptr);
    ~EventManager() override;

    QList<QObject *> data() const { return m_visible; }
    // Every entry, oldest first, whatever the filter.
    QList<QObject *> entries() const { return m_data; }
    QString filename() const { return m_filename; }

    // Takes ownership of the entry.
    Q_INVOKABLE void push(Event *event);
    // Removes the entries at or before the given time.
    Q_INVOKABLE void clear(QDateTime before);
    Q_INVOKABLE void clear();
    Q_INVOKABLE void applyFilter(QString name);
    // Shows the entries of this severity or above (0 shows all).
    Q_INVOKABLE void applyFilter(int severity);
    Q_INVOKABLE void applyFilter(QDateTime from, QDateTime to = QDateTime::currentDateTime());
    // "Last hour", "Last 2 hours", "Last 5 hours", "Today", "Yesterday", "Last week",
    // "Last month"; anything else shows all of the history.
    Q_INVOKABLE void applyFilterPeriod(QString period);

    void load();
    void save();
    void update();

signals:
    void dataChanged();

private:
    Config &m_config;
    QString m_filename;
    QList<QObject *> m_data;
    QList<QObject *> m_visible;
    int m_filterSeverity = 0;
    QString m_filterName;
    QDateTime m_filterFrom;
    QDateTime m_filterTo;
};
