#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantMap>

// The MQTT password must never reach the log: these give the texts that may carry it (a
// configuration map, a JSON payload) with the password masked.
namespace secrets {

// What the log shows instead of a password: a fixed mask, or nothing when it is empty.
QString masked(const QString &secret);
// True for a configuration key or a JSON member that holds a password ("mqtt/password",
// "password").
bool isSecretKey(const QString &key);
// A map of configuration keys with every password masked.
QVariantMap maskedSettings(const QVariantMap &settings);
// A JSON payload with every "password" member masked, at any depth. A payload without one, or
// one that is not JSON, comes back unchanged.
QByteArray maskedJson(const QByteArray &payload);

} // namespace secrets
