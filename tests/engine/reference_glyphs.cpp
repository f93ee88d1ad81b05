// Plain Qt pictures for the distance-field engine test. Usage:
//   reference_glyphs draw FAMILY PIXELS WIDTH HEIGHT OUT.pgm X Y TEXT [X Y TEXT ...]
//     each TEXT drawn with its pen on the baseline at (X, Y) (fractions allowed), white
//     ink on black, as a binary PGM
//   reference_glyphs flip IN.png OUT.png
//     the picture with its alpha turned round (255 - alpha): a field of the wrong sign
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>

#include "grey_picture.h"

int main(int argc, char** argv) {
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (mode == "flip" && argc == 4) {
        QImage image = QImage(QString::fromUtf8(argv[2])).convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y) {
            QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) row[x] = (row[x] & 0xFFFFFFu) | (0xFFu - qAlpha(row[x])) << 24;
        }
        return !image.isNull() && image.save(QString::fromUtf8(argv[3]), "PNG") ? 0 : 1;
    }
    if (mode != "draw" || argc < 10 || (argc - 7) % 3 != 0) {
        std::fprintf(stderr, "usage: reference_glyphs draw FAMILY PIXELS WIDTH HEIGHT OUT.pgm X Y TEXT [X Y TEXT ...]\n"
                             "       reference_glyphs flip IN.png OUT.png\n");
        return 2;
    }
    QFont font(QString::fromUtf8(argv[2]));
    font.setPixelSize(QByteArray(argv[3]).toInt());
    font.setKerning(false);
    font.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias));
    const int w = QByteArray(argv[4]).toInt(), h = QByteArray(argv[5]).toInt();
    QImage image(w, h, QImage::Format_Grayscale8);
    image.fill(0);
    {
        QPainter p(&image);
        p.setFont(font);
        p.setPen(Qt::white);
        for (int i = 7; i + 2 < argc; i += 3)
            p.drawText(QPointF(QByteArray(argv[i]).toDouble(), QByteArray(argv[i + 1]).toDouble()), QString::fromUtf8(argv[i + 2]));
    }
    return writeGreyPgm(image, QString::fromUtf8(argv[6])) ? 0 : 1;
}
