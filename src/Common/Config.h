#pragma once

#include <QFileSystemWatcher>
#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QStringList>
#include <QVariantMap>

// The configuration store: flat "section/name" keys kept in an INI file, layered over built-in
// defaults and under command-line overrides. Edits of the file on disk are noticed and reported.
class Config : public QObject
{
    Q_OBJECT
public:
    Config(const QString &filename, const QVariantMap &defaults, QObject *parent = nullptr);

    QVariant get(const QString &key) const;
    void set(const QString &key, const QVariant &value);
    QStringList keys() const;
    QString filename() const { return m_filename; }
    QVariantMap defaults() const { return m_defaults; }
    void addDefaults(const QVariantMap &map);
    void addOverrides(const QVariantMap &map);
    // Inclusive ranges for integer keys. A value outside its range, or not a whole number, is
    // refused wherever it comes from (set, fromJson, the file); a loaded one that is refused is
    // put back to its default here. Overrides are not checked.
    void addLimits(const QMap<QString, QPair<int, int>> &limits);

    void load();
    void save();
    void print() const;

    QJsonObject toJson() const;
    void fromJson(const QJsonObject &object);

signals:
    void configChanged(const QVariantMap &changes);
    void configFileChanged();

private:
    void onFileChanged(const QString &path);
    QVariantMap readChanges();
    void watch();
    bool withinLimits(const QString &key, const QVariant &value) const;

    QString m_filename;
    QVariantMap m_settings;
    QVariantMap m_defaults;
    QVariantMap m_overrides;
    QMap<QString, QPair<int, int>> m_limits;
    QFileSystemWatcher m_watch;
};
