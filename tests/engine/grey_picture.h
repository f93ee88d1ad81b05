#pragma once

#include <QByteArray>
#include <QFile>
#include <QImage>

// Writes a Format_Grayscale8 picture as a binary PGM; whether it was all written.
inline bool writeGreyPgm(const QImage& image, const QString& path) {
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly)) return false;
    out.write(QByteArray("P5\n") + QByteArray::number(image.width()) + ' ' + QByteArray::number(image.height()) +
              "\n255\n");
    for (int y = 0; y < image.height(); ++y) out.write(reinterpret_cast<const char*>(image.constScanLine(y)), image.width());
    return out.error() == QFile::NoError;
}
