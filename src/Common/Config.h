#pragma once

#include <QFileSystemWatcher>
#include <QJsonObject>
#include <QObject>
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

    QString m_filename;
    QVariantMap m_settings;
    QVariantMap m_defaults;
    QVariantMap m_overrides;
    QFileSystemWatcher m_watch;
};
