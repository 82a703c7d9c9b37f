#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QString>

// Every JSON document that reaches the program from outside is read here.
namespace json {

// QJsonDocument::fromJson, except that a document in which an object names the same key twice
// is refused: the toolkit's parser loses memory on some of them (kept for the life of the
// process), so a service repeating such a payload would exhaust the unit. On failure returns an
// empty document and, if given, the reason in `error` (empty on success).
QJsonDocument parse(const QByteArray &data, QString *error = nullptr);

// Whether some object of the document names the same key twice. Looks only as far as the text
// is well formed.
bool hasDuplicateKey(const QByteArray &data);

} // namespace json
