#include "Secrets.h"

#include "Json.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace secrets {

namespace {

const char *const Mask = "********";

QJsonValue maskValue(const QJsonValue &value, bool &found);

QJsonObject maskObject(QJsonObject object, bool &found)
{
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (isSecretKey(it.key()) && it.value().isString()) {
            found = true;
            *it = masked(it.value().toString());
        } else {
            *it = maskValue(it.value(), found);
        }
    }
    return object;
}

QJsonValue maskValue(const QJsonValue &value, bool &found)
{
    if (value.isObject())
        return maskObject(value.toObject(), found);
    if (value.isArray()) {
        QJsonArray array = value.toArray();
        for (auto it = array.begin(); it != array.end(); ++it)
            *it = maskValue(*it, found);
        return array;
    }
    return value;
}

} // namespace

QString masked(const QString &secret)
{
    return secret.isEmpty() ? QString() : QString::fromLatin1(Mask);
}

bool isSecretKey(const QString &key)
{
    return key == QLatin1String("password") || key.endsWith(QLatin1String("/password"));
}

QVariantMap maskedSettings(const QVariantMap &settings)
{
    QVariantMap result = settings;
    for (auto it = result.begin(); it != result.end(); ++it) {
        if (isSecretKey(it.key()))
            *it = masked(it.value().toString());
    }
    return result;
}

QByteArray maskedJson(const QByteArray &payload)
{
    QString error;
    const QJsonDocument document = json::parse(payload, &error);
    if (!error.isEmpty())
        return payload;
    bool found = false;
    const QJsonValue value = maskValue(
        document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object()), found);
    if (!found)
        return payload;
    return value.isArray() ? QJsonDocument(value.toArray()).toJson()
                           : QJsonDocument(value.toObject()).toJson();
}

} // namespace secrets
