// Renders one SVG picture into a PNG of a given size.
//
//   render <input.svg> <output.png> <width> <height>
//
// The picture is scaled to fill the whole output (each SVG source is drawn with the
// proportions of its output). The image starts fully transparent, so pictures without
// a background stay transparent. The output folder is created when missing.
// Exit code 0 on success, 1 on a usage error, 2 on a bad input, 3 when the output
// cannot be written.

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <QSvgRenderer>

#include <cstdio>

namespace {

void fail(const QString &message)
{
    std::fprintf(stderr, "render: %s\n", qPrintable(message));
}

bool parseSize(const char *text, int *value)
{
    bool ok = false;
    const int v = QString::fromLocal8Bit(text).toInt(&ok);
    if (!ok || v <= 0 || v > 16384)
        return false;
    *value = v;
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    // No window system is needed: QImage and QSvgRenderer only need a core application.
    QCoreApplication app(argc, argv);

    // "round": the picture is cut to the ellipse of its size (the flags of the round button).
    const bool round = argc == 6 && QByteArray(argv[5]) == "round";
    if (argc != 5 && !round) {
        std::fprintf(stderr, "usage: render <input.svg> <output.png> <width> <height> [round]\n");
        return 1;
    }

    const QString input = QString::fromLocal8Bit(argv[1]);
    const QString output = QString::fromLocal8Bit(argv[2]);
    int width = 0;
    int height = 0;
    if (!parseSize(argv[3], &width) || !parseSize(argv[4], &height)) {
        fail(QStringLiteral("bad size \"%1 x %2\" (expected two positive integers)")
                 .arg(QString::fromLocal8Bit(argv[3]), QString::fromLocal8Bit(argv[4])));
        return 1;
    }

    if (!QFileInfo(input).isFile()) {
        fail(QStringLiteral("input \"%1\" does not exist or is not a file").arg(input));
        return 2;
    }

    QSvgRenderer svg;
    if (!svg.load(input) || !svg.isValid()) {
        fail(QStringLiteral("input \"%1\" is not a valid SVG picture").arg(input));
        return 2;
    }

    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        fail(QStringLiteral("cannot allocate a %1 x %2 image").arg(width).arg(height));
        return 3;
    }
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        if (round) {
            QPainterPath ellipse;
            ellipse.addEllipse(QRectF(0, 0, width, height));
            painter.setClipPath(ellipse);
        }
        svg.render(&painter, QRectF(0, 0, width, height));
    }

    const QFileInfo outInfo(output);
    if (!QDir().mkpath(outInfo.absolutePath())) {
        fail(QStringLiteral("cannot create the folder \"%1\"").arg(outInfo.absolutePath()));
        return 3;
    }
    if (!image.save(output, "PNG")) {
        fail(QStringLiteral("cannot write \"%1\"").arg(output));
        return 3;
    }
    return 0;
}
