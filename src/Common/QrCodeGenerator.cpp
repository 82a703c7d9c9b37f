#include "QrCodeGenerator.h"

#include "Logger.h"

#include <QTextStream>

QrCodeGenerator::QrCodeGenerator(QObject *parent) : QObject(parent) {}

QString QrCodeGenerator::generateSvgQr(const QString &text, unsigned short border,
                                       qrcodegen::QrCode::Ecc level) const
{
    const QByteArray utf8 = text.toUtf8();
    // The library throws for a text no QR code can hold. These are the largest symbol's byte-mode
    // capacities (the least compact mode, so any text within them fits).
    int capacity = 2331;
    switch (level) {
    case qrcodegen::QrCode::Ecc::LOW:
        capacity = 2953;
        break;
    case qrcodegen::QrCode::Ecc::MEDIUM:
        capacity = 2331;
        break;
    case qrcodegen::QrCode::Ecc::QUARTILE:
        capacity = 1663;
        break;
    case qrcodegen::QrCode::Ecc::HIGH:
        capacity = 1273;
        break;
    }
    if (utf8.size() > capacity || utf8.contains('\0')) {
        LOG_WARNING << "[QrCodeGenerator] WARN: Text does not fit a QR code (" << utf8.size()
                    << " bytes)";
        return QString();
    }
    const qrcodegen::QrCode qr = qrcodegen::QrCode::encodeText(utf8.constData(), level);
    return toSvgString(qr, border);
}

QString QrCodeGenerator::toSvgString(const qrcodegen::QrCode &qr, unsigned short border) const
{
    QString svg;
    QTextStream out(&svg);
    const int size = qr.getSize() + 2 * border;
    out << R"(<?xml version="1.0" encoding="UTF-8"?>)"
        << R"(<!DOCTYPE svg PUBLIC "-//W3C//DTD SVG 1.1//EN" )"
        << R"("http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd">)"
        << R"(<svg xmlns="http://www.w3.org/2000/svg" version="1.1" viewBox="0 0 )" << size << ' '
        << size << R"(" stroke="none"><rect width="100%" height="100%" fill="#FFFFFF"/><path d=")";
    for (int y = 0; y < qr.getSize(); ++y) {
        for (int x = 0; x < qr.getSize(); ++x) {
            if (!qr.getModule(x, y))
                continue;
            if (x != 0 || y != 0)
                out << ' ';
            out << 'M' << (x + border) << ',' << (y + border) << "h1v1h-1z";
        }
    }
    out << R"(" fill="#000000"/></svg>)";
    out.flush();
    return svg;
}
