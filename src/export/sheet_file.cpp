#include "sheet_file.h"

#include <zlib.h>

#include <algorithm>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "platform/error.h"
#include "platform/image_io.h"
#include "platform/parallel.h"

namespace karuvo {
namespace {

void checkRegion(const Sheet& sheet, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    if (w <= 0 || h <= 0 || x < 0 || y < 0 || x > sheet.width - w || y > sheet.height - h) {
        throw Error(ErrorKind::InvalidSize,
                    QT_TRANSLATE_NOOP("karuvo", "A region of %1 x %2 pixels at %3, %4 is not a part of the sheet with some area to write"),
                    {std::to_string(w), std::to_string(h), std::to_string(x), std::to_string(y)});
    }
}

// One channel of the glyph (colour g, coverage a) over the layer under it (colour u,
// coverage b), with both coverages out of 255: the covered amount times 255 * 255.
inline int overChannel(int g, int a, int u, int b) { return g * a * 255 + u * b * (255 - a); }

// Composes row y0 + y, columns x0 .. x0 + w - 1, of the transparent picture into `line`.
class RowComposer {
public:
    explicit RowComposer(const Sheet& sheet) : sheet_(sheet), c_(*sheet.coverage) {}

    void compose(std::int32_t x0, std::int32_t y, std::int32_t w, QRgb* line) const {
        const QRgb* glyph = c_.glyph.row(y) + x0;
        const QRgb* below = under_ ? c_.under.row(y) + x0 : nullptr;
        const QRgb* tex = textured_ ? c_.textureCell.row(y % sheet_.cellHeight) : nullptr;
        for (std::int32_t x = 0; x < w; ++x) {
            const int a = qRed(glyph[x]);
            const int b = below ? qRed(below[x]) : 0;
            const int covered = a * 255 + b * (255 - a);  // out of 255 * 255
            if (covered == 0) {
                line[x] = 0;
                continue;
            }
            const Colour g = tex ? fromQRgb(tex[(x0 + x) % sheet_.cellWidth]) : c_.glyphColour;
            const auto channel = [&](int gc, int uc) { return (2 * overChannel(gc, a, uc, b) + covered) / (2 * covered); };
            line[x] = qRgba(channel(redOf(g), ur_), channel(greenOf(g), ug_), channel(blueOf(g), ub_),
                            (2 * covered + 255) / (2 * 255));
        }
    }

private:
    const Sheet& sheet_;
    const SheetCoverage& c_;
    const bool under_ = !c_.under.isEmpty();
    const bool textured_ = !c_.textureCell.isEmpty();
    const int ur_ = redOf(c_.underColour), ug_ = greenOf(c_.underColour), ub_ = blueOf(c_.underColour);
};

void checkCoverage(const Sheet& sheet) {
    if (!sheet.coverage) {
        throw Error(ErrorKind::InvalidSize,
                    QT_TRANSLATE_NOOP("karuvo", "The sheet was built without its coverage, so it has no transparency to write"), {});
    }
}

[[noreturn]] void pngTooLarge(std::int32_t w, std::int32_t h) {
    throw Error(ErrorKind::TooLarge, QT_TRANSLATE_NOOP("karuvo", "A PNG file of %1 x %2 pixels does not fit in memory"),
                {std::to_string(w), std::to_string(h)});
}

void putBig32(QByteArray& out, std::uint32_t v) {
    const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    out.append(b, 4);
}

// Appends a chunk: length, type, data and the CRC of type and data.
void putChunk(QByteArray& out, const char (&type)[5], const char* data, std::size_t size) {
    putBig32(out, static_cast<std::uint32_t>(size));
    const qsizetype typeAt = out.size();
    out.append(type, 4);
    out.append(data, static_cast<qsizetype>(size));
    const uLong crc = crc32(crc32(0L, nullptr, 0), reinterpret_cast<const Bytef*>(out.constData() + typeAt),
                            static_cast<uInt>(size + 4));
    putBig32(out, static_cast<std::uint32_t>(crc));
}

// Rows are compressed in pieces of about this many raw bytes, each piece on its own and
// the pieces side by side on the threads there are. The pieces depend on the picture
// alone, so the file is the same whatever the number of threads.
constexpr std::int64_t kPieceBytes = 4 * 1024 * 1024;
constexpr std::size_t kMaxIdatBytes = 1024 * 1024;

// One piece of the image data: rows `first` .. `last` - 1, each a filter byte (0, none)
// and the row's red, green, blue and alpha bytes, as raw deflate data that ends on a
// byte boundary (finished when `final`), with the Adler-32 of the raw bytes.
struct Piece {
    std::int32_t first = 0, last = 0;
    bool final = false;
    std::vector<unsigned char> deflated;
    uLong adler = 1;
    std::int64_t rawBytes = 0;
};

void compressPiece(const RowComposer& rows, std::int32_t x0, std::int32_t y0, std::int32_t w, Piece& piece) {
    z_stream z{};
    // Fastest level: a sheet is mostly empty, and the bytes shrink well at any level.
    if (deflateInit2(&z, 1, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) throw std::bad_alloc();
    const std::size_t rowBytes = 1 + 4 * static_cast<std::size_t>(w);
    std::vector<QRgb> line(static_cast<std::size_t>(w));
    std::vector<unsigned char> raw(rowBytes);
    piece.deflated.resize(deflateBound(&z, static_cast<uLong>(rowBytes) * static_cast<uLong>(piece.last - piece.first)) + 64);
    z.next_out = piece.deflated.data();
    z.avail_out = static_cast<uInt>(piece.deflated.size());
    int status = Z_OK;
    for (std::int32_t y = piece.first; y < piece.last; ++y) {
        rows.compose(x0, y0 + y, w, line.data());
        raw[0] = 0;
        unsigned char* p = raw.data() + 1;
        for (QRgb px : line) {
            p[0] = static_cast<unsigned char>(qRed(px));
            p[1] = static_cast<unsigned char>(qGreen(px));
            p[2] = static_cast<unsigned char>(qBlue(px));
            p[3] = static_cast<unsigned char>(qAlpha(px));
            p += 4;
        }
        piece.adler = adler32(piece.adler, raw.data(), static_cast<uInt>(rowBytes));
        z.next_in = raw.data();
        z.avail_in = static_cast<uInt>(rowBytes);
        const bool lastRow = y + 1 == piece.last;
        status = deflate(&z, lastRow ? (piece.final ? Z_FINISH : Z_SYNC_FLUSH) : Z_NO_FLUSH);
        if (status == Z_STREAM_ERROR || z.avail_in != 0) break;
    }
    piece.rawBytes = static_cast<std::int64_t>(rowBytes) * (piece.last - piece.first);
    const bool ok = z.avail_in == 0 && (piece.final ? status == Z_STREAM_END : status == Z_OK);
    piece.deflated.resize(piece.deflated.size() - z.avail_out);
    deflateEnd(&z);
    if (!ok) throw std::bad_alloc();
}

}  // namespace

std::optional<SheetFileFormat> sheetFileFormat(const QString& path) {
    if (path.endsWith(QLatin1String(".bmp"), Qt::CaseInsensitive)) return SheetFileFormat::Bmp;
    if (path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive)) return SheetFileFormat::Png;
    return std::nullopt;
}

QImage transparentImage(const Sheet& sheet, std::int32_t x0, std::int32_t y0, std::int32_t w, std::int32_t h) {
    checkRegion(sheet, x0, y0, w, h);
    checkCoverage(sheet);
    QImage out(w, h, QImage::Format_ARGB32);
    if (out.isNull()) {
        throw Error(ErrorKind::TooLarge,
                    QT_TRANSLATE_NOOP("karuvo", "A picture of %1 x %2 pixels with transparency does not fit in memory"),
                    {std::to_string(w), std::to_string(h)});
    }
    const RowComposer rows(sheet);
    for (std::int32_t y = 0; y < h; ++y) rows.compose(x0, y0 + y, w, reinterpret_cast<QRgb*>(out.scanLine(y)));
    return out;
}

QByteArray encodePng(const Sheet& sheet, std::int32_t x0, std::int32_t y0, std::int32_t w, std::int32_t h) {
    checkRegion(sheet, x0, y0, w, h);
    checkCoverage(sheet);
    const std::int64_t rowBytes = 1 + 4 * std::int64_t{w};
    const std::int32_t rowsPerPiece = static_cast<std::int32_t>(std::clamp<std::int64_t>(kPieceBytes / rowBytes, 1, h));
    std::vector<Piece> pieces;
    for (std::int32_t y = 0; y < h; y += rowsPerPiece) {
        Piece p;
        p.first = y;
        p.last = static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{y} + rowsPerPiece, h));
        p.final = p.last == h;
        pieces.push_back(std::move(p));
    }
    const RowComposer rows(sheet);
    const int threads = static_cast<int>(std::min<std::size_t>(
        pieces.size(), std::min<unsigned>(std::max(1u, std::thread::hardware_concurrency()), kMaxParallel)));
    try {
        runParallel(threads, [&](int t) {
            for (std::size_t i = static_cast<std::size_t>(t); i < pieces.size(); i += static_cast<std::size_t>(threads))
                compressPiece(rows, x0, y0, w, pieces[i]);
        });

        QByteArray out;
        std::size_t deflated = 0;
        for (const Piece& p : pieces) deflated += p.deflated.size();
        out.reserve(static_cast<qsizetype>(deflated + deflated / kMaxIdatBytes * 12 + 128));
        out.append("\x89PNG\r\n\x1a\n", 8);
        QByteArray header;
        putBig32(header, static_cast<std::uint32_t>(w));
        putBig32(header, static_cast<std::uint32_t>(h));
        header.append("\x08\x06\x00\x00\x00", 5);  // 8 bits, RGBA, deflate, no filter set, no interlace
        putChunk(out, "IHDR", header.constData(), static_cast<std::size_t>(header.size()));

        // The zlib stream: its header, the pieces' deflate data, and the Adler-32 of
        // all raw bytes; cut into IDAT chunks.
        std::vector<unsigned char> stream{0x78, 0x01};
        stream.reserve(deflated + 6);
        uLong adler = 1;
        for (const Piece& p : pieces) {
            stream.insert(stream.end(), p.deflated.begin(), p.deflated.end());
            adler = adler32_combine64(adler, p.adler, static_cast<z_off64_t>(p.rawBytes));
        }
        for (int shift = 24; shift >= 0; shift -= 8) stream.push_back(static_cast<unsigned char>(adler >> shift));
        for (std::size_t at = 0; at < stream.size(); at += kMaxIdatBytes) {
            putChunk(out, "IDAT", reinterpret_cast<const char*>(stream.data() + at),
                     std::min(kMaxIdatBytes, stream.size() - at));
        }
        putChunk(out, "IEND", nullptr, 0);
        return out;
    } catch (const std::bad_alloc&) {
        pngTooLarge(w, h);
    }
}

QByteArray encodeSheet(const Sheet& sheet, SheetFileFormat format, std::int32_t x, std::int32_t y,
                       std::int32_t w, std::int32_t h) {
    if (format == SheetFileFormat::Png) return encodePng(sheet, x, y, w, h);
    checkRegion(sheet, x, y, w, h);
    if (x == 0 && y == 0) return encodeBmp24(sheet.image, w, h);
    return encodeBmp24(Image::fromQImage(sheet.image.qimage().copy(x, y, w, h)), w, h);
}

}  // namespace karuvo
