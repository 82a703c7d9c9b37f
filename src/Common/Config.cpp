#include "Config.h"

#include "AtomicFile.h"
#include "IniText.h"
#include "Logger.h"
#include "Secrets.h"
#include "SettingsLeftovers.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char *const DashedLine =
    "[Config] ------------------------------------------------------------";

QString statusText(QSettings::Status status)
{
    switch (status) {
    case QSettings::AccessError:
        return QStringLiteral("access error");
    case QSettings::FormatError:
        return QStringLiteral("format error");
    case QSettings::NoError:
        break;
    }
    return QStringLiteral("no error");
}

// The text of an entry as it stands in the INI file: what follows "name=" on the entry's last
// line in its section, without the blanks around it or a trailing comment. QSettings reads an
// unquoted value with commas as a list and drops the blanks after the commas; a hand-edited
// password or PIN must come back as typed. QSettings reads unquoted text as Latin-1; so does
// this. Returns a null string when the entry is not found.
QString entryText(const QByteArray &ini, const QString &key)
{
    const int slash = key.indexOf(QLatin1Char('/'));
    const QByteArray section = slash < 0 ? QByteArrayLiteral("General") : key.left(slash).toUtf8();
    const QByteArray name =
        key.mid(slash + 1).replace(QLatin1Char('/'), QLatin1Char('\\')).toUtf8();

    QByteArray current;
    QString text;
    for (const QByteArray &rawLine : ini.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.startsWith('[')) {
            const int end = line.indexOf(']');
            current = line.mid(1, end < 0 ? -1 : end - 1).trimmed();
            continue;
        }
        const int equals = line.indexOf('=');
        if (current != section || equals < 0 || line.left(equals).trimmed() != name)
            continue;
        QByteArray value = line.mid(equals + 1);
        bool quoted = false;
        for (int i = 0; i < value.size(); ++i) {
            if (value.at(i) == '"') {
                quoted = !quoted;
            } else if (value.at(i) == ';' && !quoted) {
                value.truncate(i);
                break;
            }
        }
        text = QString::fromLatin1(value.trimmed());
    }
    return text;
}

// The file holds the MQTT password and the PIN: readable by its owner only.
constexpr mode_t OwnerOnly = 0600;

// The file as it stood before a write.
struct FileBefore
{
    bool created = false; // created empty for this write
    bool regular = false;
    uid_t uid = 0;
    gid_t gid = 0;
};

// QSaveFile gives the new file the permissions of the one it replaces, so restricting the old
// one first, or creating it empty and restricted, leaves no moment in which the content is
// readable by others.
FileBefore restrictToOwner(const QString &filename)
{
    const QByteArray native = QFile::encodeName(filename);
    FileBefore before;
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, OwnerOnly);
    if (fd >= 0) {
        ::close(fd);
        before.created = true;
    }
    struct stat info = {};
    if (::stat(native.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return before;
    before.regular = true;
    before.uid = info.st_uid;
    before.gid = info.st_gid;
    if ((info.st_mode & 07777) != OwnerOnly && ::chmod(native.constData(), OwnerOnly) != 0) {
        LOG_WARNING << "[Config] Could not make config file private : " << filename << " ("
                    << std::strerror(errno) << ")";
    }
    return before;
}

// QSaveFile's rename gives the file to the user who writes it; a unit running as root gives it
// back to its owner, as far as it can.
void settleAfterWrite(const QString &filename, const FileBefore &before, bool written)
{
    const QByteArray native = QFile::encodeName(filename);
    struct stat info = {};
    if (!before.regular || ::stat(native.constData(), &info) != 0)
        return;
    if (!written) {
        // Not left behind empty: a missing file is created with the defaults at the next start.
        if (before.created && info.st_size == 0)
            ::unlink(native.constData());
        return;
    }
    if ((info.st_mode & 07777) != OwnerOnly)
        ::chmod(native.constData(), OwnerOnly);
    if ((info.st_uid != before.uid || info.st_gid != before.gid) &&
        ::chown(native.constData(), before.uid, before.gid) != 0) {
        LOG_WARNING << "[Config] Could not give config file back to its owner : " << filename
                    << " (" << std::strerror(errno) << ")";
    }
}

} // namespace

Config::Config(const QString &filename, const QVariantMap &defaults, QObject *parent)
    : QObject(parent), m_filename(filename), m_settings(defaults), m_defaults(defaults),
      m_watch(this)
{
    for (const QString &path : SettingsLeftovers::removeAll(m_filename))
        LOG_WARNING << "[Config] Removed the leftover of an interrupted write : " << path;
    if (!QFileInfo::exists(m_filename)) {
        LOG_WARNING << "[Config] Creating default config file : " << m_filename;
        save();
    }
    load();

    connect(&m_watch, &QFileSystemWatcher::fileChanged, this, &Config::onFileChanged);
    // Only watched while the file is missing, so that a file deleted and written anew by an
    // editor is picked up again.
    connect(&m_watch, &QFileSystemWatcher::directoryChanged, this, [this] {
        if (QFileInfo::exists(m_filename))
            onFileChanged(m_filename);
    });
    watch();
}

QVariant Config::get(const QString &key) const
{
    auto override = m_overrides.constFind(key);
    if (override != m_overrides.constEnd())
        return *override;
    auto value = m_settings.constFind(key);
    if (value != m_settings.constEnd())
        return *value;
    return m_defaults.value(key);
}

void Config::set(const QString &key, const QVariant &value)
{
    auto current = m_settings.constFind(key);
    if (current != m_settings.constEnd() && *current == value)
        return;
    if (!withinLimits(key, value))
        return;
    m_overrides.remove(key);
    m_settings.insert(key, value);
    emit configChanged({{key, value}});
    save();
}

QStringList Config::keys() const
{
    return m_settings.keys(); // a QMap: already sorted
}

void Config::addDefaults(const QVariantMap &map)
{
    for (auto it = map.constBegin(); it != map.constEnd(); ++it)
        m_defaults.insert(it.key(), it.value());
}

void Config::addOverrides(const QVariantMap &map)
{
    for (auto it = map.constBegin(); it != map.constEnd(); ++it)
        m_overrides.insert(it.key(), it.value());
}

void Config::addLimits(const QMap<QString, QPair<int, int>> &limits)
{
    QVariantMap restored;
    for (auto it = limits.constBegin(); it != limits.constEnd(); ++it) {
        m_limits.insert(it.key(), it.value());
        auto current = m_settings.find(it.key());
        if (current == m_settings.end() || withinLimits(it.key(), *current))
            continue;
        const QVariant fallback = m_defaults.value(it.key());
        if (fallback.isValid()) {
            *current = fallback;
            restored.insert(it.key(), fallback);
        } else {
            m_settings.erase(current);
        }
    }
    if (!restored.isEmpty())
        emit configChanged(restored);
}

bool Config::withinLimits(const QString &key, const QVariant &value) const
{
    const auto limit = m_limits.constFind(key);
    if (limit == m_limits.constEnd())
        return true;

    // Whole numbers only, as the readers' toInt() would take them: a fraction would be rounded,
    // a text that is not a number would read as 0.
    bool whole = false;
    qlonglong number = 0;
    switch (value.userType()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        number = value.toLongLong(&whole);
        break;
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        whole = value.toULongLong() <= qulonglong(std::numeric_limits<int>::max());
        number = qlonglong(value.toULongLong());
        break;
    case QMetaType::Double:
    case QMetaType::Float: {
        const double real = value.toDouble();
        whole = std::isfinite(real) && std::trunc(real) == real &&
                std::abs(real) <= double(std::numeric_limits<int>::max());
        number = whole ? qlonglong(real) : 0;
        break;
    }
    case QMetaType::QString:
    case QMetaType::QByteArray:
        number = value.toString().toLongLong(&whole, 10);
        break;
    default: // booleans, lists and the like are no numbers
        break;
    }
    if (whole && number >= limit->first && number <= limit->second)
        return true;
    LOG_WARNING << "[Config] Refused value for " << key << " : " << value.toString()
                << " (allowed: whole numbers from " << limit->first << " to " << limit->second
                << ")";
    return false;
}

QVariantMap Config::readChanges()
{
    QVariantMap changes;
    if (!QFileInfo::exists(m_filename))
        return changes;

    // QSettings keeps parsed files in a process-wide cache that it trusts while the size and
    // the modification time look the same, which two quick edits can share. Reading a private
    // copy makes every edit count.
    QFile source(m_filename);
    QTemporaryFile copy;
    const bool opened = source.open(QIODevice::ReadOnly);
    const QByteArray text = opened ? source.readAll() : QByteArray();
    // Values QSettings would decode through QDataStream come as bytes (see initext): none of the
    // settings is written that way, and a damaged one must not abort the program.
    const QByteArray readable = initext::withStreamedValuesAsBytes(text);
    if (!opened || !copy.open() || copy.write(readable) != readable.size() || !copy.flush()) {
        LOG_WARNING << "[Config] Could not read config file : " << m_filename << " ("
                    << (source.error() != QFile::NoError ? source.errorString()
                                                         : copy.errorString())
                    << "), keeping the values in memory";
        return changes;
    }
    QSettings settings(copy.fileName(), QSettings::NativeFormat);
    if (settings.status() != QSettings::NoError) {
        LOG_WARNING << "[Config] Could not read config file : " << m_filename << " ("
                    << statusText(settings.status()) << "), keeping the values in memory";
        return changes;
    }
    const QStringList fileKeys = settings.allKeys();
    for (const QString &key : fileKeys) {
        QVariant value = settings.value(key);
        if (value.type() == QVariant::StringList) {
            const QString written = entryText(text, key);
            value = written.isNull() ? value.toStringList().join(QLatin1Char(',')) : written;
        }
        if (m_settings.value(key) != value && withinLimits(key, value)) {
            m_settings.insert(key, value);
            changes.insert(key, value);
        }
    }
    return changes;
}

void Config::load()
{
    const QVariantMap changes = readChanges();
    if (!changes.isEmpty())
        emit configChanged(changes);
}

void Config::onFileChanged(const QString &)
{
    const QVariantMap changes = readChanges();
    if (!changes.isEmpty()) {
        emit configFileChanged();
        emit configChanged(changes);
    }
    watch();
}

void Config::watch()
{
    const QString dir = QFileInfo(m_filename).absolutePath();
    if (QFileInfo::exists(m_filename)) {
        if (!m_watch.files().contains(m_filename))
            m_watch.addPath(m_filename);
        if (m_watch.directories().contains(dir))
            m_watch.removePath(dir);
    } else if (!m_watch.directories().contains(dir) && QFileInfo(dir).isDir()) {
        m_watch.addPath(dir);
    }
}

void Config::save()
{
    // Our own write must not come back as an edit.
    if (m_watch.files().contains(m_filename))
        m_watch.removePath(m_filename);
    for (const QString &path : SettingsLeftovers::removeStaleLocks(m_filename))
        LOG_WARNING << "[Config] Removed the leftover of an interrupted write : " << path;
    const FileBefore before = restrictToOwner(m_filename);
    // QSettings reads the file before writing over it; a value it would decode through
    // QDataStream (see initext) is handed to it as bytes first.
    QFile current(m_filename);
    if (current.open(QIODevice::ReadOnly)) {
        const QByteArray text = current.readAll();
        const QByteArray readable = initext::withStreamedValuesAsBytes(text);
        current.close();
        if (readable != text && !atomicfile::write(m_filename, readable))
            LOG_WARNING << "[Config] Could not rewrite config file : " << m_filename;
    }
    {
        // QSettings writes through a temporary file and a rename, so a power cut never leaves
        // a half-written file.
        QSettings settings(m_filename, QSettings::NativeFormat);
        for (auto it = m_settings.constBegin(); it != m_settings.constEnd(); ++it)
            settings.setValue(it.key(), it.value());
        settings.sync();
        // A format error is about what was read before writing; only an access error means
        // the write failed.
        const bool written = settings.status() != QSettings::AccessError;
        if (!written) {
            LOG_WARNING << "[Config] Could not save config file : " << m_filename << " ("
                        << statusText(settings.status()) << "), keeping the values in memory";
        }
        settleAfterWrite(m_filename, before, written);
    }
    watch();
}

void Config::print() const
{
    const QStringList allKeys = keys();
    int width = 0;
    for (const QString &key : allKeys)
        width = std::max(width, key.length());

    LOG_INFO << DashedLine;
    LOG_INFO << "[Config]  SETTINGS (" << m_filename << ")";
    LOG_INFO << DashedLine;
    for (const QString &key : allKeys) {
        QString value = get(key).toString();
        if (secrets::isSecretKey(key))
            value = secrets::masked(value);
        LOG_INFO << QStringLiteral("[Config]  %1 : %2").arg(key, -width).arg(value);
    }
    LOG_INFO << DashedLine;
}

QJsonObject Config::toJson() const
{
    QMap<QString, QVariantMap> sections;
    for (auto it = m_settings.constBegin(); it != m_settings.constEnd(); ++it) {
        const QString &key = it.key();
        const int slash = key.indexOf(QLatin1Char('/'));
        const QString section = slash < 0 ? key : key.left(slash);
        const QString name = slash < 0 ? QString() : key.mid(slash + 1);
        sections[section].insert(name, it.value());
    }
    QJsonObject object;
    for (auto it = sections.constBegin(); it != sections.constEnd(); ++it)
        object.insert(it.key(), QJsonObject::fromVariantMap(it.value()));
    return object;
}

void Config::fromJson(const QJsonObject &object)
{
    QVariantMap flat;
    for (auto section = object.constBegin(); section != object.constEnd(); ++section) {
        if (!section.value().isObject())
            continue;
        const QJsonObject entries = section.value().toObject();
        for (auto entry = entries.constBegin(); entry != entries.constEnd(); ++entry) {
            const QString key = section.key() + QLatin1Char('/') + entry.key();
            // Settings are scalars; anything else would be written to the file as a blob.
            if (!entry.value().isString() && !entry.value().isDouble() && !entry.value().isBool()) {
                if (m_settings.contains(key))
                    LOG_WARNING << "[Config] Ignoring value of unsupported type for : " << key;
                continue;
            }
            flat.insert(key, entry.value().toVariant());
        }
    }

    QVariantMap changes;
    for (auto it = flat.constBegin(); it != flat.constEnd(); ++it) {
        auto current = m_settings.find(it.key());
        if (current == m_settings.end() || *current == it.value() ||
            !withinLimits(it.key(), it.value()))
            continue;
        *current = it.value();
        changes.insert(it.key(), it.value());
    }
    if (!changes.isEmpty()) {
        save();
        emit configChanged(changes);
    }
}
