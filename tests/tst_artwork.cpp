#include <QColor>
#include <QImage>
#include <QtTest>

// The idle animations loop in front of every passenger: no frame of them may look like a
// result, above all not like an accepted one.
class ArtworkTest : public QObject
{
    Q_OBJECT

private slots:
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

QTEST_GUILESS_MAIN(ArtworkTest)
#include "tst_artwork.moc"
