// Plain Qt pictures that an engine's drawing is held against: white ink on black, as
// binary PGMs. Usage:
//   reference_glyphs line FAMILY PIXELS WIDTH HEIGHT OUT.pgm X Y TEXT [unkerned]
//     the line of TEXT laid out by Qt, kerning on unless "unkerned", fully hinted,
//     its top-left corner at (X, Y)
//   reference_glyphs draw FAMILY PIXELS WIDTH HEIGHT OUT.pgm X Y TEXT [X Y TEXT ...]
//     each TEXT unkerned, its pen on the baseline at (X, Y) (fractions allowed)
//   reference_glyphs flip IN.png OUT.png
//     the picture with its alpha (and colour) turned round (255 - alpha): a field of the
//     wrong sign
//   reference_glyphs swap IN.png OUT.png
//     the picture with its alpha and red swapped: a field with its channels mixed up
#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>

int main(int argc, char** argv) {
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    const auto arg = [&](int i) { return QString::fromUtf8(argv[i]); };
    if ((mode == "flip" || mode == "swap") && argc == 4) {
        QImage image = QImage(arg(2)).convertToFormat(QImage::Format_ARGB32);
        if (mode == "flip") image.invertPixels(QImage::InvertRgba);  // the colour too, which the engine's shader does not read
        for (int y = 0; mode == "swap" && y < image.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) row[x] = qRgba(qAlpha(row[x]), qGreen(row[x]), qBlue(row[x]), qRed(row[x]));
        }
        return !image.isNull() && image.save(arg(3), "PNG") ? 0 : 1;
    }
    const bool line = mode == "line" && (argc == 10 || (argc == 11 && arg(10) == "unkerned"));
    if (!line && (mode != "draw" || argc < 10 || (argc - 7) % 3 != 0))
        return std::fprintf(stderr, "usage: reference_glyphs line|draw FAMILY PIXELS WIDTH HEIGHT OUT.pgm X Y TEXT [...]\n"
                                    "       reference_glyphs flip|swap IN.png OUT.png\n"), 2;
    QFont font(arg(2));
    font.setPixelSize(arg(3).toInt());
    font.setKerning(line && argc == 10);
    if (line) font.setHintingPreference(QFont::PreferFullHinting);
    font.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias));
    QImage image(arg(4).toInt(), arg(5).toInt(), QImage::Format_Grayscale8);
    image.fill(0);
    {
        QPainter p(&image);
        p.setFont(font);
        p.setPen(Qt::white);
        const double drop = line ? QFontMetrics(font).ascent() : 0;  // from the line's top to its baseline
        for (int i = 7; i + 2 < argc; i += 3) p.drawText(QPointF(arg(i).toDouble(), arg(i + 1).toDouble() + drop), arg(i + 2));
    }
    QFile out(arg(6));
    if (!out.open(QIODevice::WriteOnly)) return 1;
    out.write("P5\n" + QByteArray::number(image.width()) + ' ' + QByteArray::number(image.height()) + "\n255\n");
    for (int y = 0; y < image.height(); ++y) out.write(reinterpret_cast<const char*>(image.constScanLine(y)), image.width());
    return out.error() == QFile::NoError ? 0 : 1;
}
