// Draws a line of text with plain Qt, kerning on (off with a last argument
// "unkerned"), as the reference an engine's drawing is held against. Usage:
//   reference_text FAMILY PIXELS TEXT WIDTH HEIGHT X Y OUT.pgm [unkerned]
// The line's top-left corner is at (X, Y); the picture is white ink on black, as a
// binary PGM.
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>

#include "grey_picture.h"

int main(int argc, char** argv) {
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
    if (argc != 9 && !(argc == 10 && QByteArray(argv[9]) == "unkerned")) {
        std::fprintf(stderr, "usage: reference_text FAMILY PIXELS TEXT WIDTH HEIGHT X Y OUT.pgm [unkerned]\n");
        return 2;
    }
    QFont font(QString::fromUtf8(argv[1]));
    font.setPixelSize(QByteArray(argv[2]).toInt());
    font.setKerning(argc == 9);
    font.setHintingPreference(QFont::PreferFullHinting);
    font.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias));
    const int w = QByteArray(argv[4]).toInt(), h = QByteArray(argv[5]).toInt();
    QImage image(w, h, QImage::Format_Grayscale8);
    image.fill(0);
    {
        QPainter p(&image);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QPoint(QByteArray(argv[6]).toInt(), QByteArray(argv[7]).toInt() + QFontMetrics(font).ascent()),
                   QString::fromUtf8(argv[3]));
    }
    return writeGreyPgm(image, QString::fromUtf8(argv[8])) ? 0 : 1;
}
