#include "image_io.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QSaveFile>
#include <QtEndian>
#include <cstring>
#include <memory>

#include "error.h"

namespace karuvo {
namespace {

std::string quoted(const QString& path) { return "\"" + path.toStdString() + "\""; }

[[noreturn]] void imageError(const QString& path, const std::string& why) {
    throw Error(ErrorKind::Image, "Cannot load the image " + quoted(path) + ": " + why);
}

// Formats whose files have a fixed ending; a file that lacks it was cut short.
void checkComplete(const QString& path, const QByteArray& format) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return;
    const qint64 size = f.size();
    if (format == "jpeg" || format == "jpg") {
        // The end-of-image marker closes every complete JPEG file (trailing padding allowed).
        const qint64 tail = std::min<qint64>(size, 4096);
        f.seek(size - tail);
        const QByteArray end = f.read(tail);
        if (!end.contains("\xFF\xD9")) imageError(path, "the file is truncated");
    } else if (format == "gif") {
        const qint64 tail = std::min<qint64>(size, 64);
        f.seek(size - tail);
        if (!f.read(tail).contains(';')) imageError(path, "the file is truncated");
    } else if (format == "bmp") {
        const QByteArray head = f.read(54);
        if (head.size() < 54) imageError(path, "the file is truncated");
        std::uint32_t offBits;
        std::int32_t w, h;
        std::uint16_t bpp;
        std::uint32_t compression;
        std::memcpy(&offBits, head.constData() + 10, 4);
        std::memcpy(&w, head.constData() + 18, 4);
        std::memcpy(&h, head.constData() + 22, 4);
        std::memcpy(&bpp, head.constData() + 28, 2);
        std::memcpy(&compression, head.constData() + 30, 4);
        if (compression == 0 || compression == 3) {  // uncompressed rows: their size is known
            const std::int64_t rowBytes = ((std::int64_t{w < 0 ? -w : w} * bpp + 31) / 32) * 4;
            const std::int64_t need = std::int64_t{offBits} + rowBytes * (h < 0 ? -std::int64_t{h} : h);
            if (size < need) imageError(path, "the file is truncated");
        }
    }
}

}  // namespace

Image loadPicture(const QString& path) {
    if (path.isEmpty()) return Image();
    const QFileInfo info(path);
    if (!info.exists()) imageError(path, "no such file");
    if (info.isDir()) imageError(path, "it is a folder, not an image file");
    if (info.size() == 0) imageError(path, "the file is empty");

    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format();
    if (format.isEmpty()) {
        if (!QFile(path).open(QIODevice::ReadOnly)) imageError(path, "the file cannot be read");
        imageError(path, "it is not a bmp, ico, gif or jpeg image");
    }
    const QSize size = reader.size();
    if (size.isValid() && std::int64_t{size.width()} * size.height() > kMaxDecodedPixels) {
        imageError(path, "the image is " + std::to_string(size.width()) + " x " +
                             std::to_string(size.height()) + " pixels, too large to load (at most " +
                             std::to_string(kMaxDecodedPixels) + " pixels)");
    }
    checkComplete(path, format);
    QImageReader::setAllocationLimit(static_cast<int>(kMaxDecodedPixels * 4 / (1024 * 1024)));
    QImage img;
    if (!reader.read(&img) || img.isNull()) {
        imageError(path, "it cannot be decoded (" + reader.errorString().toStdString() + ")");
    }
    return Image::fromQImage(img);
}

QByteArray encodeBmp24(const Image& image, std::int32_t width, std::int32_t height) {
    if (width <= 0 || height <= 0 || width > image.width() || height > image.height()) {
        throw Error(ErrorKind::InvalidSize, "A bitmap of " + std::to_string(width) + " x " +
                                                std::to_string(height) + " pixels has no area to write");
    }
    const std::int64_t rowBytes = ((std::int64_t{width} * 24 + 31) / 32) * 4;
    const std::int64_t dataBytes = rowBytes * height;
    const std::int64_t fileBytes = 54 + dataBytes;
    if (fileBytes > 0xFFFFFFFFll) {
        throw Error(ErrorKind::TooLarge, "A bitmap of " + std::to_string(width) + " x " +
                                             std::to_string(height) + " pixels is too large for a .bmp file");
    }
    QByteArray out(static_cast<qsizetype>(fileBytes), Qt::Uninitialized);
    auto* p = reinterpret_cast<unsigned char*>(out.data());
    std::memset(p, 0, 54);
    auto put16 = [&](int off, std::uint16_t v) { std::memcpy(p + off, &v, 2); };
    auto put32 = [&](int off, std::uint32_t v) { std::memcpy(p + off, &v, 4); };
    p[0] = 'B';
    p[1] = 'M';
    put32(2, static_cast<std::uint32_t>(fileBytes));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(width));
    put32(22, static_cast<std::uint32_t>(height));
    put16(26, 1);
    put16(28, 24);
    put32(30, 0);
    put32(34, static_cast<std::uint32_t>(dataBytes));
    put32(38, 3780);  // 96 dpi
    put32(42, 3780);
    for (std::int32_t y = 0; y < height; ++y) {
        unsigned char* d = p + 54 + rowBytes * (height - 1 - y);
        const QRgb* s = image.row(y);
        // Each pixel is stored as four bytes, blue, green, red and a fourth that the
        // next pixel overwrites; the last pixel goes byte by byte, then the padding.
        for (std::int32_t x = 0; x + 1 < width; ++x) {
            const std::uint32_t le = qToLittleEndian(static_cast<std::uint32_t>(s[x]));
            std::memcpy(d + 3 * std::int64_t{x}, &le, 4);
        }
        unsigned char* last = d + 3 * std::int64_t{width - 1};
        last[0] = static_cast<unsigned char>(qBlue(s[width - 1]));
        last[1] = static_cast<unsigned char>(qGreen(s[width - 1]));
        last[2] = static_cast<unsigned char>(qRed(s[width - 1]));
        std::memset(last + 3, 0, static_cast<std::size_t>(rowBytes - 3 * std::int64_t{width}));
    }
    return out;
}

void writeFileAtomically(const QString& path, const QByteArray& bytes) {
    writeFilesAtomically({FileContents{path, bytes}});
}

void writeFilesAtomically(const std::vector<FileContents>& files) {
    std::vector<std::unique_ptr<QSaveFile>> pending;
    for (const FileContents& f : files) {
        const QString& path = f.path;
        const QFileInfo info(path);
        if (info.isDir()) {
            throw Error(ErrorKind::Io, "Cannot write " + quoted(path) + ": it is a folder");
        }
        const QFileInfo folder(info.absolutePath());
        if (!folder.exists()) {
            throw Error(ErrorKind::Io, "Cannot write " + quoted(path) + ": the folder " +
                                           quoted(info.absolutePath()) + " does not exist");
        }
        if (!folder.isDir()) {
            throw Error(ErrorKind::Io, "Cannot write " + quoted(path) + ": " + quoted(info.absolutePath()) +
                                           " is a file, not a folder");
        }
        auto file = std::make_unique<QSaveFile>(path);
        file->setDirectWriteFallback(false);
        if (!file->open(QIODevice::WriteOnly)) {
            throw Error(ErrorKind::Io, "Cannot write " + quoted(path) + ": " + file->errorString().toStdString());
        }
        if (file->write(f.bytes) != f.bytes.size() || !file->flush()) {
            throw Error(ErrorKind::Io, "Cannot write " + quoted(path) + ": " + file->errorString().toStdString());
        }
        pending.push_back(std::move(file));
    }
    // Every temporary is complete; an unfinished QSaveFile removes its temporary when
    // destroyed, so an early throw above leaves nothing behind.
    for (std::size_t i = 0; i < pending.size(); ++i) {
        if (!pending[i]->commit()) {
            throw Error(ErrorKind::Io, "Cannot write " + quoted(files[i].path) + ": " +
                                           pending[i]->errorString().toStdString());
        }
    }
}

}  // namespace karuvo
