#pragma once

#include <QObject>
#include <QString>

#include <qrcodegen.hpp>

// Turns a text into a QR code drawn as SVG, for an Image to show through a data URI.
class QrCodeGenerator : public QObject
{
    Q_OBJECT
public:
    explicit QrCodeGenerator(QObject *parent = nullptr);

    // The text as UTF-8 at the given error-correction level, with a quiet zone of border modules.
    QString generateSvgQr(const QString &text, unsigned short border,
                          qrcodegen::QrCode::Ecc level) const;
    // One line of SVG: a white background and one path of unit squares for the dark modules.
    QString toSvgString(const qrcodegen::QrCode &qr, unsigned short border) const;
};
