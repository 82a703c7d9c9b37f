#pragma once

#include <QByteArray>
#include <QDateTime>

// QSettings decodes a value written as "@Variant(...)" or "@DateTime(...)" through QDataStream and
// trusts the counts inside it: one damaged value (a bad sector, a hand edit) can make it allocate
// without bound and abort the program at every start. The program's INI files are therefore
// read from a copy in which such values are handed over as bytes, and decoded here with checks.
namespace initext {

// The INI text with every "@Variant(" and "@DateTime(" value turned into "@ByteArray(": the same
// escaped bytes, which QSettings then returns as they are.
QByteArray withStreamedValuesAsBytes(const QByteArray &ini);

// The date and time in the bytes of an "@DateTime(" value, or an invalid one when they hold
// anything else.
QDateTime dateTimeFromStream(const QByteArray &bytes);

} // namespace initext
