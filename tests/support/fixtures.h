#pragma once

#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
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

// The sheet drawn with a plain painter: every character's advance box centred in its
// cell (odd margins rounded toward the cell's top-left corner), its baseline at the
// face's ascent below the box's top.
inline QImage drawnSheet(const QString& text, const QFont& font, int cellWidth, int cellHeight, QRgb fill) {
    const QStringList lines = text.split(u'\n');
    qsizetype columns = 0;
    for (const QString& l : lines) columns = std::max(columns, l.toUcs4().size());
    QImage sheet(int(columns) * cellWidth, int(lines.size()) * cellHeight, QImage::Format_RGB32);
    sheet.fill(Qt::black);
    QPainter p(&sheet);
    p.setFont(font);
    p.setPen(QColor(fill));
    const QFontMetrics m(font);
    for (int row = 0; row < lines.size(); ++row) {
        const QList<uint> chars = lines[row].toUcs4();
        for (int column = 0; column < chars.size(); ++column) {
            const QString ch = QString::fromUcs4(reinterpret_cast<const char32_t*>(&chars[column]), 1);
            const int x = column * cellWidth + (cellWidth - m.horizontalAdvance(ch)) / 2;
            const int top = row * cellHeight + (cellHeight - m.height()) / 2;
            p.drawText(QPoint(x, top + m.ascent()), ch);
        }
    }
    return sheet;
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

// Every name in `folder`, hidden and special files too.
inline QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

// A test in a fresh folder of its own.
struct InTempFolder : ::testing::Test {
    QString path(const QString& name) const { return dir.filePath(name); }
    QStringList entries() const { return fakes::entries(dir.path()); }
    QTemporaryDir dir;
};

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
