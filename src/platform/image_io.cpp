#include "image_io.h"

#include "pixel_pack.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QtEndian>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>
#include <unistd.h>

#include "error.h"
#include "file_input.h"

namespace karuvo {
namespace {

// `why` is a marked text naming its own values from %2 on; %1 is the path.
[[noreturn]] void imageError(const QString& path, const char* why, std::vector<std::string> args = {}) {
    args.insert(args.begin(), path.toStdString());
    throw Error(ErrorKind::Image, why, std::move(args));
}

// Formats whose files have a fixed ending; a file that lacks it was cut short. `f` is
// the open file, left where it was.
void checkComplete(QFile& f, const QString& path, const QByteArray& format) {
    const qint64 size = f.size();
    const qint64 at = f.pos();
    struct Back {
        QFile& f;
        qint64 at;
        ~Back() { f.seek(at); }
    } back{f, at};
    if (format == "jpeg" || format == "jpg") {
        // The end-of-image marker closes every complete JPEG file (trailing padding allowed).
        const qint64 tail = std::min<qint64>(size, 4096);
        f.seek(size - tail);
        const QByteArray end = f.read(tail);
        if (!end.contains("\xFF\xD9")) imageError(path, QT_TRANSLATE_NOOP("karuvo", "Cannot load the image \"%1\": the file is truncated"));
    } else if (format == "gif") {
        const qint64 tail = std::min<qint64>(size, 64);
        f.seek(size - tail);
        if (!f.read(tail).contains(';')) imageError(path, QT_TRANSLATE_NOOP("karuvo", "Cannot load the image \"%1\": the file is truncated"));
    } else if (format == "bmp") {
        // The header after the 14-byte file header starts with its own size: 12 for the
        // old OS/2 form (16-bit sides), 40 or more for the Windows forms.
        f.seek(0);
        const QByteArray head = f.read(14 + 40);
        if (head.size() < 18) imageError(path, QT_TRANSLATE_NOOP("karuvo", "Cannot load the image \"%1\": the file is truncated"));
        std::uint32_t offBits, headerSize;
        std::memcpy(&offBits, head.constData() + 10, 4);
        std::memcpy(&headerSize, head.constData() + 14, 4);
        std::int64_t w, h;
        std::uint16_t bpp;
        std::uint32_t compression = 0;
        if (headerSize == 12) {
            if (head.size() < 26) imageError(path, QT_TRANSLATE_NOOP("karuvo", "Cannot load the image \"%1\": the file is truncated"));
            std::int16_t w16, h16;
            std::memcpy(&w16, head.constData() + 18, 2);
            std::memcpy(&h16, head.constData() + 20, 2);
            std::memcpy(&bpp, head.constData() + 24, 2);
            w = w16;
            h = h16;
        } else if (headerSize >= 40) {
            if (head.size() < 54) imageError(path, QT_TRANSLATE_NOOP("karuvo", "Cannot load the image \"%1\": the file is truncated"));
            std::int32_t w32, h32;
            std::memcpy(&w32, head.constData() + 18, 4);
            std::memcpy(&h32, head.constData() + 22, 4);
            std::memcpy(&bpp, head.constData() + 28, 2);
            std::memcpy(&compression, head.constData() + 30, 4);
            w = w32;
            h = h32;
        } else {
            return;  // a header the decoder judges alone
        }
        if (compression == 0 || compression == 3) {  // uncompressed rows: their size is known
            // Sides are read into 64 bits first, so even -2147483648 has a magnitude.
            const std::int64_t rowBytes = ((std::abs(w) * bpp + 31) / 32) * 4;
            if (offBits > size || (rowBytes > 0 && std::abs(h) > (size - offBits) / rowBytes))
                imageError(path, QT_TRANSLATE_NOOP("karuvo", "Cannot load the image \"%1\": the file is truncated"));
        }
    }
}

// Decoders such as libpng print their complaints straight to standard error. While a
// picture is read they go to a temporary file instead and come back as text, so that
// the program's own message can carry them.
class DecoderMessages {
public:
    DecoderMessages() {
        std::fflush(stderr);
        file_ = std::tmpfile();
        if (!file_) return;
        saved_ = ::dup(STDERR_FILENO);
        if (saved_ >= 0 && ::dup2(::fileno(file_), STDERR_FILENO) < 0) {
            ::close(saved_);
            saved_ = -1;
        }
    }
    ~DecoderMessages() {
        restore();
        if (file_) std::fclose(file_);
    }
    DecoderMessages(const DecoderMessages&) = delete;
    DecoderMessages& operator=(const DecoderMessages&) = delete;

    // What was printed since, on one line.
    std::string text() {
        restore();
        if (!file_) return {};
        std::rewind(file_);
        std::string all;
        char buffer[512];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file_)) > 0 && all.size() < 4096;)
            all.append(buffer, n);
        QString line = QString::fromLocal8Bit(all).simplified();
        for (QChar& c : line)
            if (c.category() == QChar::Other_Control) c = u' ';
        return line.toStdString();
    }

private:
    void restore() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
        saved_ = -1;
    }
    std::FILE* file_ = nullptr;
    int saved_ = -1;
};

}  // namespace

// Defined once here, so that every user compares the one pointer an Error keeps.
const char* const kPictureTooLarge = QT_TRANSLATE_NOOP(
    "karuvo", "Cannot load the image \"%1\": the image is %2 x %3 pixels, too large to load (at most %4 pixels)");

QStringList readablePictureFormats() {
    QStringList formats;
    for (const QByteArray& f : QImageReader::supportedImageFormats()) formats << QString::fromLatin1(f).toLower();
    formats.removeDuplicates();
    formats.sort();
    return formats;
}

Image loadPicture(const QString& path) {
    if (path.isEmpty()) return Image();
    const QFileInfo info(path);
    if (!info.exists()) imageError(path, QT_TRANSLATE_NOOP("karuvo", "Cannot load the image \"%1\": no such file"));
    if (const char* kind = specialFileKind(path))
        imageError(path, QT_TRANSLATE_NOOP("karuvo", "Cannot load the image \"%1\": it is %2, not an image file"), {kind});
    if (info.size() == 0) imageError(path, QT_TRANSLATE_NOOP("karuvo", "Cannot load the image \"%1\": the file is empty"));

    // Read through a descriptor known to be a regular file, so that nothing put in the
    // file's place since is waited on.
    QFile file;
    const int fd = openRegularFile(path);
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0) ::close(fd);
        imageError(path, QT_TRANSLATE_NOOP("karuvo", "Cannot load the image \"%1\": the file cannot be read"));
    }
    // Only the decoder's own calls are listened to: anything else on standard error
    // (a sanitizer's report, say) must get through.
    QImageReader reader(&file);
    reader.setDecideFormatFromContent(true);
    DecoderMessages header;
    const QByteArray format = reader.format();
    const QSize size = reader.size();
    std::string said = header.text();
    if (format.isEmpty()) {
        imageError(path, QT_TRANSLATE_NOOP("karuvo", "Cannot load the image \"%1\": it is not an image of a readable format (%2)"),
                   {readablePictureFormats().join(QStringLiteral(", ")).toStdString()});
    }
    if (size.isValid() && std::int64_t{size.width()} * size.height() > kMaxDecodedPixels) {
        imageError(path, kPictureTooLarge,
                   {std::to_string(size.width()), std::to_string(size.height()), std::to_string(kMaxDecodedPixels)});
    }
    checkComplete(file, path, format);
    QImageReader::setAllocationLimit(static_cast<int>(kMaxDecodedPixels * 4 / (1024 * 1024)));
    QImage img;
    DecoderMessages decoder;
    const bool decoded = reader.read(&img) && !img.isNull();
    const std::string more = decoder.text();
    if (!decoded) {
        if (!more.empty()) said += (said.empty() ? "" : " ") + more;
        imageError(path, QT_TRANSLATE_NOOP("karuvo", "Cannot load the image \"%1\": it cannot be decoded (%2)"),
                   {reader.errorString().toStdString() + (said.empty() ? "" : ": " + said)});
    }
    return Image::fromQImage(img);
}

namespace {

void checkBmpRegion(const Image& image, std::int32_t x0, std::int32_t y0, std::int32_t width, std::int32_t height) {
    if (width <= 0 || height <= 0 || x0 < 0 || y0 < 0 || width > image.width() - x0 ||
        height > image.height() - y0) {
        throw Error(ErrorKind::InvalidSize, QT_TRANSLATE_NOOP("karuvo", "A bitmap of %1 x %2 pixels has no area to write"),
                    {std::to_string(width), std::to_string(height)});
    }
}

}  // namespace

bool putBmp24Header(std::int32_t width, std::int32_t height, const ByteSink& put) {
    if (width <= 0 || height <= 0) {
        throw Error(ErrorKind::InvalidSize, QT_TRANSLATE_NOOP("karuvo", "A bitmap of %1 x %2 pixels has no area to write"),
                    {std::to_string(width), std::to_string(height)});
    }
    const std::int64_t rowBytes = ((std::int64_t{width} * 24 + 31) / 32) * 4;
    const std::int64_t dataBytes = rowBytes * height;
    const std::int64_t fileBytes = 54 + dataBytes;
    if (fileBytes > 0xFFFFFFFFll) {
        throw Error(ErrorKind::TooLarge, QT_TRANSLATE_NOOP("karuvo", "A bitmap of %1 x %2 pixels is too large for a .bmp file"),
                    {std::to_string(width), std::to_string(height)});
    }
    unsigned char header[54] = {};
    auto put16 = [&](int off, std::uint16_t v) { std::memcpy(header + off, &v, 2); };
    auto put32 = [&](int off, std::uint32_t v) { std::memcpy(header + off, &v, 4); };
    header[0] = 'B';
    header[1] = 'M';
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
    return put(reinterpret_cast<const char*>(header), 54);
}

bool putBmp24Rows(const Image& image, std::int32_t x0, std::int32_t y0, std::int32_t width, std::int32_t height,
                  const ByteSink& put) {
    checkBmpRegion(image, x0, y0, width, height);
    const std::int64_t rowBytes = ((std::int64_t{width} * 24 + 31) / 32) * 4;
    // Rows bottom-up, a few at a time.
    const std::int32_t rowsAtOnce = static_cast<std::int32_t>(std::clamp<std::int64_t>((1 << 20) / rowBytes, 1, height));
    std::vector<unsigned char> buffer(static_cast<std::size_t>(rowBytes * rowsAtOnce));
    for (std::int32_t done = 0; done < height;) {
        const std::int32_t n = std::min(rowsAtOnce, height - done);
        for (std::int32_t i = 0; i < n; ++i) {
            unsigned char* d = buffer.data() + rowBytes * i;
            packBgr(image.row(y0 + height - 1 - (done + i)) + x0, d, width);
            std::memset(d + 3 * std::int64_t{width}, 0, static_cast<std::size_t>(rowBytes - 3 * std::int64_t{width}));
        }
        if (!put(reinterpret_cast<const char*>(buffer.data()), rowBytes * n)) return false;
        done += n;
    }
    return true;
}

bool writeBmp24(const Image& image, std::int32_t x0, std::int32_t y0, std::int32_t width, std::int32_t height,
                const ByteSink& put) {
    checkBmpRegion(image, x0, y0, width, height);
    return putBmp24Header(width, height, put) && putBmp24Rows(image, x0, y0, width, height, put);
}

QByteArray encodeBmp24(const Image& image, std::int32_t width, std::int32_t height) {
    QByteArray out;
    writeBmp24(image, 0, 0, width, height, [&](const char* data, qsizetype size) {
        if (out.isEmpty()) out.reserve(54 + ((qsizetype{width} * 24 + 31) / 32) * 4 * height);
        out.append(data, size);
        return true;
    });
    return out;
}

}  // namespace karuvo
