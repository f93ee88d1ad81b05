#include "sheet_file.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
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
        const QRgb* own = ownColours_ ? c_.glyphColours.row(y) + x0 : nullptr;
        for (std::int32_t x = 0; x < w; ++x) {
            const int a = qRed(glyph[x]);
            const int b = below ? qRed(below[x]) : 0;
            const int covered = a * 255 + b * (255 - a);  // out of 255 * 255
            if (covered == 0) {
                line[x] = 0;
                continue;
            }
            const Colour g = c_.field ? kWhite / 255 * a
                             : tex    ? fromQRgb(tex[(x0 + x) % sheet_.cellWidth])
                             : own    ? fromQRgb(own[x])
                                      : c_.glyphColour;
            if (b == 0) {
                // The glyph alone: the general form below gives its colour and coverage.
                line[x] = qRgba(redOf(g), greenOf(g), blueOf(g), a);
                continue;
            }
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
    const bool ownColours_ = !c_.glyphColours.isEmpty();
    const int ur_ = redOf(c_.underColour), ug_ = greenOf(c_.underColour), ub_ = blueOf(c_.underColour);
};

void checkCoverage(const Sheet& sheet) {
    if (!sheet.coverage) {
        throw Error(ErrorKind::InvalidSize,
                    QT_TRANSLATE_NOOP("karuvo", "The sheet was built without its coverage, so it has no transparency to write"), {});
    }
}

void checkCoverageFor(const Sheet& sheet, SheetFileFormat format) {
    if (format == SheetFileFormat::Png) checkCoverage(sheet);
}

[[noreturn]] void pngTooLarge(std::int32_t w, std::int32_t h) {
    throw Error(ErrorKind::TooLarge, QT_TRANSLATE_NOOP("karuvo", "A PNG file of %1 x %2 pixels does not fit in memory"),
                {std::to_string(w), std::to_string(h)});
}

void putBig32(unsigned char* at, std::uint32_t v) {
    at[0] = static_cast<unsigned char>(v >> 24);
    at[1] = static_cast<unsigned char>(v >> 16);
    at[2] = static_cast<unsigned char>(v >> 8);
    at[3] = static_cast<unsigned char>(v);
}

// Puts a chunk: length, type, data and the CRC of type and data.
bool putChunk(const ByteSink& put, const char (&type)[5], const unsigned char* data, std::size_t size) {
    unsigned char head[8];
    putBig32(head, static_cast<std::uint32_t>(size));
    std::memcpy(head + 4, type, 4);
    uLong crc = crc32(crc32(0L, nullptr, 0), head + 4, 4);
    if (size > 0) crc = crc32(crc, data, static_cast<uInt>(size));
    unsigned char tail[4];
    putBig32(tail, static_cast<std::uint32_t>(crc));
    return put(reinterpret_cast<const char*>(head), 8) &&
           (size == 0 || put(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size))) &&
           put(reinterpret_cast<const char*>(tail), 4);
}

// Rows are compressed in pieces of about this many raw bytes, each piece on its own and
// the pieces side by side on the threads there are. The pieces depend on the picture
// alone, so the file is the same whatever the number of threads.
constexpr std::int64_t kPieceBytes = 4 * 1024 * 1024;
constexpr std::size_t kMaxIdatBytes = 1024 * 1024;

// One piece of the image data: rows `first` .. `last` - 1, each its filter byte
// and the row's pixel bytes, as raw deflate data that ends on a byte boundary (finished
// when `final`), with the Adler-32 of the raw bytes.
struct Piece {
    std::int32_t first = 0, last = 0;
    bool final = false;
    std::vector<unsigned char> deflated;
    uLong adler = 1;
    std::int64_t rawBytes = 0;
};

// How the file's rows are stored: every pixel as red, green, blue and alpha, or, for a
// sheet drawn in one colour alone, as an index into a palette whose entry a is that
// colour at alpha a (entry 0 fully transparent black), so that both read back as the
// same pixels and the palette form has a quarter of the bytes to compress. A
// multi-channel field leaves out alpha where it is 255 throughout, and its rows go as
// each byte less the same byte of the pixel to its left: the field changes little from
// pixel to pixel, so those differences repeat.
class PngRows {
public:
    PngRows(const Sheet& sheet, std::int32_t x0, std::int32_t w)
        : sheet_(sheet), composer_(sheet), x0_(x0), w_(w),
          indexed_(sheet.coverage->under.isEmpty() && sheet.coverage->textureCell.isEmpty() &&
                   sheet.coverage->glyphColours.isEmpty() && !sheet.coverage->multiChannel),
          field_(sheet.coverage->multiChannel) {}

    bool indexed() const { return indexed_; }
    bool opaque() const { return field_ && sheet_.coverage->opaque; }
    std::size_t bytesPerPixel() const { return indexed_ ? 1 : opaque() ? 3 : 4; }
    std::size_t rowBytes() const { return 1 + bytesPerPixel() * static_cast<std::size_t>(w_); }
    // The PNG filter of every row (0, none; 1, less the pixel to the left) and how
    // deflate looks for repeats: an MSDF's differences, by runs alone, are compressed in
    // less time for a little more size; with alpha, runs alone would lose more.
    unsigned char filter() const { return field_ ? 1 : 0; }
    int strategy() const { return opaque() ? Z_RLE : Z_DEFAULT_STRATEGY; }

    // Row y of the sheet, filtered, without its filter byte, into `out`; `line` is scratch.
    void pixels(std::int32_t y, unsigned char* out, std::vector<QRgb>& line) const {
        if (indexed_) {
            const QRgb* glyph = sheet_.coverage->glyph.row(y) + x0_;
            for (std::int32_t x = 0; x < w_; ++x) out[x] = static_cast<unsigned char>(qRed(glyph[x]));
            return;
        }
        line.resize(static_cast<std::size_t>(w_));
        if (field_) {
            std::copy_n(sheet_.coverage->glyph.row(y) + x0_, w_, line.data());
        } else {
            composer_.compose(x0_, y, w_, line.data());
        }
        const std::size_t step = bytesPerPixel();
        const bool sub = filter() == 1;
        QRgb left = 0;  // the pixel to the left, 0 before the first
        for (const QRgb px : line) {
            const QRgb less = sub ? left : 0;
            out[0] = static_cast<unsigned char>(qRed(px) - qRed(less));
            out[1] = static_cast<unsigned char>(qGreen(px) - qGreen(less));
            out[2] = static_cast<unsigned char>(qBlue(px) - qBlue(less));
            if (step == 4) out[3] = static_cast<unsigned char>(qAlpha(px) - qAlpha(less));
            left = px;
            out += step;
        }
    }

    // The PLTE and tRNS chunks of the indexed form.
    bool putPalette(const ByteSink& put) const {
        unsigned char colours[3 * 256];
        unsigned char alphas[256];
        for (int a = 0; a < 256; ++a) {
            const Colour g = sheet_.coverage->field ? kWhite / 255 * a : a ? sheet_.coverage->glyphColour : kBlack;
            colours[3 * a] = static_cast<unsigned char>(redOf(g));
            colours[3 * a + 1] = static_cast<unsigned char>(greenOf(g));
            colours[3 * a + 2] = static_cast<unsigned char>(blueOf(g));
            alphas[a] = static_cast<unsigned char>(a);
        }
        return putChunk(put, "PLTE", colours, sizeof colours) && putChunk(put, "tRNS", alphas, sizeof alphas);
    }

private:
    const Sheet& sheet_;
    const RowComposer composer_;
    const std::int32_t x0_, w_;
    const bool indexed_, field_;
};

void compressPiece(const PngRows& rows, std::int32_t y0, Piece& piece, std::vector<unsigned char>& scratch) {
    z_stream z{};
    // Fastest level: a sheet is mostly empty, and the bytes shrink well at any level.
    if (deflateInit2(&z, 1, Z_DEFLATED, -15, 8, rows.strategy()) != Z_OK) throw std::bad_alloc();
    const std::size_t rowBytes = rows.rowBytes();
    std::vector<QRgb> line;
    std::vector<unsigned char> raw(rowBytes);
    // Compressed into a buffer that holds the worst case, then kept at its own size.
    scratch.resize(deflateBound(&z, static_cast<uLong>(rowBytes) * static_cast<uLong>(piece.last - piece.first)) + 64);
    z.next_out = scratch.data();
    z.avail_out = static_cast<uInt>(scratch.size());
    int status = Z_OK;
    for (std::int32_t y = piece.first; y < piece.last; ++y) {
        raw[0] = rows.filter();
        rows.pixels(y0 + y, raw.data() + 1, line);
        piece.adler = adler32(piece.adler, raw.data(), static_cast<uInt>(rowBytes));
        z.next_in = raw.data();
        z.avail_in = static_cast<uInt>(rowBytes);
        const bool lastRow = y + 1 == piece.last;
        status = deflate(&z, lastRow ? (piece.final ? Z_FINISH : Z_SYNC_FLUSH) : Z_NO_FLUSH);
        if (status == Z_STREAM_ERROR || z.avail_in != 0) break;
    }
    piece.rawBytes = static_cast<std::int64_t>(rowBytes) * (piece.last - piece.first);
    const bool ok = z.avail_in == 0 && (piece.final ? status == Z_STREAM_END : status == Z_OK);
    piece.deflated.assign(scratch.begin(), scratch.end() - z.avail_out);
    deflateEnd(&z);
    if (!ok) throw std::bad_alloc();
}

// A PNG file written band by band: the header, then each band's rows compressed in
// pieces on the threads there are and put as they are done, then the end.
class PngStream {
public:
    PngStream(const ByteSink& put, std::int32_t w, std::int32_t h) : put_(put), w_(w), h_(h) {}

    // The signature, the header and the palette if `rows` (any band) are indexed, and the
    // start of the compressed stream.
    bool begin(const PngRows& rows) {
        unsigned char header[13];
        putBig32(header, static_cast<std::uint32_t>(w_));
        putBig32(header + 4, static_cast<std::uint32_t>(h_));
        // 8 bits, palette, RGB or RGBA, deflate, the one filter set, no interlace
        const unsigned char format[5] = {8, static_cast<unsigned char>(rows.indexed() ? 3 : rows.opaque() ? 2 : 6), 0, 0, 0};
        std::memcpy(header + 8, format, 5);
        if (!put_("\x89PNG\r\n\x1a\n", 8) || !putChunk(put_, "IHDR", header, 13)) return false;
        if (rows.indexed() && !rows.putPalette(put_)) return false;
        const unsigned char zlibHeader[2] = {0x78, 0x01};
        return putChunk(put_, "IDAT", zlibHeader, 2);
    }

    // The next h rows of the file: rows y0 .. y0 + h - 1 of the sheet or band of `rows`.
    // A band is cut into pieces of at most kPieceBytes, and into two at least so that
    // two threads share it; the cuts depend on the rows alone.
    bool add(const PngRows& rows, std::int32_t y0, std::int32_t h) {
        const std::int64_t rowBytes = static_cast<std::int64_t>(rows.rowBytes());
        const std::int32_t rowsPerPiece = static_cast<std::int32_t>(
            std::clamp<std::int64_t>(std::min<std::int64_t>(kPieceBytes / rowBytes, (h + 1) / 2), 1, h));
        std::vector<Piece> pieces;
        for (std::int32_t y = 0; y < h; y += rowsPerPiece) {
            Piece p;
            p.first = y;
            p.last = static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{y} + rowsPerPiece, h));
            done_ += p.last - p.first;
            p.final = done_ == h_;
            pieces.push_back(std::move(p));
        }
        const int threads = static_cast<int>(std::min<std::size_t>(
            pieces.size(), std::min<unsigned>(std::max(1u, std::thread::hardware_concurrency()), kMaxParallel)));
        try {
            runParallel(threads, [&](int t) {
                std::vector<unsigned char> scratch;
                for (std::size_t i = static_cast<std::size_t>(t); i < pieces.size(); i += static_cast<std::size_t>(threads))
                    compressPiece(rows, y0, pieces[i], scratch);
            });
        } catch (const std::bad_alloc&) {
            pngTooLarge(w_, h_);
        }
        // Each piece's deflate data in IDAT chunks, its Adler-32 joined to the rest.
        for (Piece& p : pieces) {
            for (std::size_t at = 0; at < p.deflated.size(); at += kMaxIdatBytes) {
                if (!putChunk(put_, "IDAT", p.deflated.data() + at, std::min(kMaxIdatBytes, p.deflated.size() - at)))
                    return false;
            }
            adler_ = adler32_combine64(adler_, p.adler, static_cast<z_off64_t>(p.rawBytes));
            std::vector<unsigned char>().swap(p.deflated);
        }
        return true;
    }

    // The Adler-32 of all raw bytes and the end chunk.
    bool end() {
        unsigned char check[4];
        putBig32(check, static_cast<std::uint32_t>(adler_));
        return putChunk(put_, "IDAT", check, 4) && putChunk(put_, "IEND", nullptr, 0);
    }

private:
    const ByteSink& put_;
    const std::int32_t w_, h_;
    std::int32_t done_ = 0;
    uLong adler_ = 1;
};

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

bool writePng(const Sheet& sheet, std::int32_t x0, std::int32_t y0, std::int32_t w, std::int32_t h,
              const ByteSink& put) {
    checkRegion(sheet, x0, y0, w, h);
    checkCoverage(sheet);
    const PngRows rows(sheet, x0, w);
    PngStream png(put, w, h);
    return png.begin(rows) && png.add(rows, y0, h) && png.end();
}

QByteArray encodePng(const Sheet& sheet, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    QByteArray out;
    try {
        writePng(sheet, x, y, w, h, [&](const char* data, qsizetype size) {
            out.append(data, size);
            return true;
        });
    } catch (const std::bad_alloc&) {
        pngTooLarge(w, h);
    }
    return out;
}

QByteArray encodeSheet(const Sheet& sheet, SheetFileFormat format, std::int32_t x, std::int32_t y,
                       std::int32_t w, std::int32_t h) {
    if (format == SheetFileFormat::Png) return encodePng(sheet, x, y, w, h);
    checkRegion(sheet, x, y, w, h);
    QByteArray out;
    writeBmp24(sheet.image, x, y, w, h, [&](const char* data, qsizetype size) {
        out.append(data, size);
        return true;
    });
    return out;
}

FileContents sheetFileContents(const Sheet& sheet, SheetFileFormat format, const QString& path, std::int32_t x,
                               std::int32_t y, std::int32_t w, std::int32_t h) {
    checkRegion(sheet, x, y, w, h);
    checkCoverageFor(sheet, format);
    if (format == SheetFileFormat::Png)
        return {path, {}, [&sheet, x, y, w, h](const ByteSink& put) { return writePng(sheet, x, y, w, h, put); }};
    return {path, {}, [&sheet, x, y, w, h](const ByteSink& put) { return writeBmp24(sheet.image, x, y, w, h, put); }};
}

FileContents sheetFileContents(const SheetBuild& build, SheetFileFormat format, const QString& path,
                               std::int32_t firstRow, std::int32_t rowCount) {
    const Sheet& whole = build.sheet();
    const std::int64_t top = std::int64_t{firstRow} * whole.cellHeight;
    const std::int64_t height = std::min<std::int64_t>(std::int64_t{rowCount} * whole.cellHeight, whole.height - top);
    if (rowCount <= 0 || top < 0 || height <= 0 || whole.width <= 0) {
        throw Error(ErrorKind::InvalidSize,
                    QT_TRANSLATE_NOOP("karuvo", "A region of %1 x %2 pixels at %3, %4 is not a part of the sheet with some area to write"),
                    {std::to_string(whole.width), std::to_string(height), "0", std::to_string(top)});
    }
    if (format == SheetFileFormat::Png && !build.keepsCoverage()) checkCoverage(whole);
    const std::int32_t w = whole.width, h = static_cast<std::int32_t>(height);
    // The rows of cells there are, however many were asked for.
    const std::int64_t rows = (height + whole.cellHeight - 1) / whole.cellHeight;
    const std::int64_t perBand = build.rowsPerBand(kBandPixels);
    const std::int32_t bands = static_cast<std::int32_t>((rows + perBand - 1) / perBand);
    const auto band = [&build, firstRow, rows, perBand](std::int32_t k) {
        const std::int64_t first = k * perBand;
        return build.band(static_cast<std::int32_t>(firstRow + first), static_cast<std::int32_t>(std::min(perBand, rows - first)));
    };
    if (format == SheetFileFormat::Png) {
        return {path, {}, [band, bands, w, h](const ByteSink& put) {
                    Sheet first = band(0);
                    PngStream png(put, w, h);
                    if (!png.begin(PngRows(first, 0, w))) return false;
                    for (std::int32_t k = 0; k < bands; ++k) {
                        const Sheet next = k == 0 ? std::move(first) : band(k);
                        if (next.height > 0 && !png.add(PngRows(next, 0, w), 0, next.height)) return false;
                    }
                    return png.end();
                }};
    }
    // A bitmap's rows go bottom-up, so the bands are made from the last.
    return {path, {}, [band, bands, w, h](const ByteSink& put) {
                if (!putBmp24Header(w, h, put)) return false;
                for (std::int32_t k = bands - 1; k >= 0; --k) {
                    const Sheet next = band(k);
                    if (next.height > 0 && !putBmp24Rows(next.image, 0, 0, w, next.height, put)) return false;
                }
                return true;
            }};
}

}  // namespace karuvo
