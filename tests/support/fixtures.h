#pragma once

#include <QFile>
#include <QFont>
#include <optional>

#include "platform/error.h"
#include "platform/font.h"
#include "platform/image.h"

namespace karuvo::fakes {

// `face` at a character height of `px` pixels, as the font dialog describes it.
inline FontDescription faceDescription(const QString& face, int px) {
    return {.height = -px, .weight = 400, .faceName = face};
}

inline FontDescription monoDescription(int px) { return faceDescription(QStringLiteral("DejaVu Sans Mono"), px); }

// The face as a plain QFont, set up the way a sheet promises to draw: grayscale
// anti-aliasing, full hinting, no kerning.
inline QFont plainFace(const QString& family, int px, bool bold = false) {
    QFont f;
    f.setFamilies({family});
    f.setPixelSize(px);
    f.setBold(bold);
    f.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias));
    f.setHintingPreference(QFont::PreferFullHinting);
    f.setKerning(false);
    return f;
}

// Replaces the file at `path` with `bytes`; whether all of them were written.
inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The whole file, or nothing when it cannot be read.
inline QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A texture whose every pixel differs from its neighbours and is never black.
inline Image patterned(std::int32_t width, std::int32_t height) {
    Image t(width, height);
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x) t.setPixel(x, y, qRgb(10 + 6 * x, 20 + 5 * y, 200 - x - y));
    return t;
}

// The error that `run` throws, or nothing when it returns.
template <class F>
std::optional<Error> thrownBy(F&& run) {
    try {
        run();
    } catch (const Error& e) {
        return e;
    }
    return std::nullopt;
}

}  // namespace karuvo::fakes
