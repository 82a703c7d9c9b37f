#include "Fonts.h"

#include <QColor>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A font configuration with no font folders: a unit without system fonts.
QTemporaryDir noFonts;

} // namespace

// The pictures and fonts the screens are drawn with, from the program's resources.
// The idle animations loop in front of every passenger: no frame of them may look like a
// result, above all not like an accepted one.
class ArtworkTest : public QObject
{
    Q_OBJECT

private slots:
    void bundledFontsNeedNoSystemFonts()
    {
        const QString family = QStringLiteral("DejaVu Sans");
        QVERIFY2(!QFontDatabase().families().contains(family), "system fonts are visible");
        QVERIFY(Fonts::load());
        const QStringList styles = QFontDatabase().styles(family);
        QVERIFY2(styles.contains("Book") && styles.contains("Bold"), qPrintable(styles.join(',')));

        // The bold face itself, not the regular one drawn thicker.
        QFont bold(family, 14);
        bold.setBold(true);
        const QFontInfo info(bold);
        QCOMPARE(info.family(), family);
        QCOMPARE(info.styleName(), QString("Bold"));
        QCOMPARE(QGuiApplication::font().family(), family);
    }

    void animationFramesShowNoResult_data()
    {
        QTest::addColumn<QString>("frame");
        for (int i = 0; i <= 6; ++i)
            QTest::addRow("card %d", i) << QStringLiteral(":/qml/images/NFC/%1.png").arg(i);
        for (int i = 0; i <= 8; ++i)
            QTest::addRow("ticket %d", i) << QStringLiteral(":/qml/images/Barcode/%1.png").arg(i);
    }

    void animationFramesShowNoResult()
    {
        QFETCH(QString, frame);
        const QImage image(frame);
        QVERIFY2(!image.isNull(), qPrintable(frame));
        QCOMPARE(image.size(), QSize(480, 536));

        // Pixels of the valid screen's green (a tick, a green light), however faint.
        int green = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                if (pixel.alpha() < 64)
                    continue;
                const bool hue = pixel.hue() >= 120 && pixel.hue() <= 170;
                if (hue && pixel.saturation() > 80 && pixel.green() > pixel.blue() &&
                    pixel.green() > pixel.red() + 40)
                    ++green;
            }
        }
        QVERIFY2(green < 50, qPrintable(QStringLiteral("%1 green pixels").arg(green)));
    }
};

int main(int argc, char *argv[])
{
    // Before the application reads the font configuration.
    QFile config(noFonts.filePath("fonts.conf"));
    if (!config.open(QIODevice::WriteOnly))
        return 1;
    config.write(QStringLiteral("<?xml version=\"1.0\"?>\n<fontconfig><cachedir>%1</cachedir>"
                                "</fontconfig>\n")
                     .arg(noFonts.path())
                     .toUtf8());
    config.close();
    qputenv("FONTCONFIG_FILE", config.fileName().toUtf8());
    QGuiApplication app(argc, argv);
    ArtworkTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_artwork.moc"
