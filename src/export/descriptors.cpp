#include "descriptors.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

#include "platform/checked.h"
#include "platform/error.h"
#include "sheet/builder.h"

namespace karuvo {

std::int32_t cellBaseline(std::int32_t cellHeight, std::int32_t lineHeight, std::int32_t ascent,
                          std::int32_t shadowDy) {
    // The glyphs' top uses truncating division, as their placement does.
    const std::int64_t top = (std::int64_t{cellHeight} - lineHeight) / 2 - shadowDy / 2;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(top + ascent, 0, cellHeight));
}

EffectRoom shadowRoom(std::int32_t dx, std::int32_t dy) {
    const auto neg = [](std::int32_t v) { return v < 0 ? checkedSub(0, v, "a shadow offset") : 0; };
    return {neg(dx), neg(dy), std::max(dx, 0), std::max(dy, 0)};
}

EffectRoom outlineRoom(std::int32_t radius) { return {radius, radius, radius, radius}; }

namespace {

SheetGeometry geometryOf(const Sheet& s) {
    return {s.width, s.height, s.columns, s.rows, s.cellWidth, s.cellHeight};
}

// A JSON string: quotes, backslashes and control characters escaped.
QString jsonString(const QString& s) {
    QString out = QStringLiteral("\"");
    for (const QChar c : s) {
        if (c == u'"' || c == u'\\') out += u'\\' + QString(c);
        else if (c.unicode() < 0x20) out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else out += c;
    }
    return out + u'"';
}

// The format has no escapes inside quotes, so a double quote cannot appear there.
QString quotedValue(QString s) { return u'"' + s.replace(u'"', u'\'') + u'"'; }

}  // namespace

Descriptor cellPitchDescriptor(const Sheet& sheet, const DescriptorFont& font, std::int32_t base,
                               const QString& pageFile) {
    Descriptor d{geometryOf(sheet), font, sheet.cellHeight, base, {pageFile}, {0}, sheet.height, {}, {}};
    for (const SheetChar& c : sheet.chars) {
        d.chars.push_back({c.codePoint, c.column, c.row, checkedMul(c.column, sheet.cellWidth, "a cell's x position"),
                           checkedMul(c.row, sheet.cellHeight, "a cell's y position"), sheet.cellWidth,
                           sheet.cellHeight, 0, 0, sheet.cellWidth});
    }
    return d;
}

Descriptor fontPitchDescriptor(const Sheet& sheet, const DescriptorFont& font, const EffectRoom& room,
                               const QString& pageFile) {
    Descriptor d{geometryOf(sheet), font, sheet.lineHeight, sheet.ascent, {pageFile}, {0}, sheet.height, {},
                 sheet.kerning};
    for (const SheetChar& c : sheet.chars) {
        // In 64 bits: a box may reach past the cell, and the cell clips it.
        const std::int64_t cellX = std::int64_t{c.column} * sheet.cellWidth;
        const std::int64_t cellY = std::int64_t{c.row} * sheet.cellHeight;
        // The box joined with the ink, from the box's corner.
        std::int64_t inkLeft = 0, inkTop = 0, inkRight = c.advance, inkBottom = sheet.lineHeight;
        if (!c.ink.isEmpty()) {
            inkLeft = std::min<std::int64_t>(inkLeft, c.ink.left());
            inkTop = std::min<std::int64_t>(inkTop, c.ink.top());
            inkRight = std::max<std::int64_t>(inkRight, std::int64_t{c.ink.right()} + 1);
            inkBottom = std::max<std::int64_t>(inkBottom, std::int64_t{c.ink.bottom()} + 1);
        }
        const std::int64_t left = std::max<std::int64_t>(c.x + inkLeft - room.left, cellX);
        const std::int64_t top = std::max<std::int64_t>(c.y + inkTop - room.top, cellY);
        const std::int64_t right = std::min<std::int64_t>(c.x + inkRight + room.right, cellX + sheet.cellWidth);
        const std::int64_t bottom = std::min<std::int64_t>(c.y + inkBottom + room.bottom, cellY + sheet.cellHeight);
        const auto narrow = [](std::int64_t v) { return static_cast<std::int32_t>(v); };  // all within the sheet
        d.chars.push_back({c.codePoint, c.column, c.row, narrow(left), narrow(top), narrow(std::max(right - left, std::int64_t{0})),
                           narrow(std::max(bottom - top, std::int64_t{0})), narrow(left - c.x), narrow(top - c.y),
                           c.advance});
    }
    return d;
}

void splitIntoPages(Descriptor& d, const std::vector<Page>& pages, const QStringList& files) {
    for (DescribedChar& c : d.chars) {
        const std::size_t page = pageOfRow(pages, c.row);
        c.page = static_cast<std::int32_t>(page);
        c.y -= pages[page].y;
    }
    d.pageFiles = files;
    d.pageTops.clear();
    for (const Page& p : pages) d.pageTops.push_back(p.y);
    d.pageHeight = pages.empty() ? 0 : pages[0].height;
}

QString fntFaceName(const QString& face) {
    QString out = face;
    for (QChar& c : out)
        if (c.category() == QChar::Other_Control) c = QChar::ReplacementCharacter;
    return out;
}

QStringList pageFilesOf(const QByteArray& bytes) {
    QStringList files;
    if (bytes.startsWith("BMF\x03")) {
        // Blocks of a type byte and a 32-bit little-endian size; block 3 holds the names.
        for (qsizetype at = 4; at + 5 <= bytes.size();) {
            const auto size = qFromLittleEndian<quint32>(bytes.constData() + at + 1);
            if (size > static_cast<quint64>(bytes.size() - at - 5)) break;
            if (bytes[at] == 3) {
                for (const QByteArray& name : bytes.mid(at + 5, size).split('\0'))
                    if (!name.isEmpty()) files << QString::fromUtf8(name);
            }
            at += 5 + static_cast<qsizetype>(size);
        }
        return files;
    }
    if (bytes.startsWith("{")) {
        for (const QJsonValue v : QJsonDocument::fromJson(bytes).object()[QLatin1String("pages")].toArray())
            files << v.toString();
        return files;
    }
    if (bytes.startsWith("<?xml") || bytes.startsWith("<font")) {
        QXmlStreamReader r(bytes);
        while (!r.atEnd() && !r.hasError()) {
            if (r.readNext() == QXmlStreamReader::StartElement && r.name() == QLatin1String("page"))
                files << r.attributes().value(QLatin1String("file")).toString();
        }
        return files;
    }
    for (const QByteArray& line : bytes.split('\n')) {
        if (!line.startsWith("page ")) continue;
        const qsizetype from = line.indexOf(" file=\"");
        const qsizetype to = from < 0 ? -1 : line.indexOf('"', from + 7);
        if (to > 0) files << QString::fromUtf8(line.mid(from + 7, to - from - 7));
    }
    return files;
}

QByteArray fntText(const Descriptor& d) {
    QString out;
    out += QStringLiteral("info face=%1 size=%2 bold=%3 italic=%4 charset=\"\" unicode=1 stretchH=100 "
                          "smooth=1 aa=1 padding=0,0,0,0 spacing=0,0\n")
               .arg(quotedValue(fntFaceName(d.font.face)))
               .arg(d.font.size)
               .arg(d.font.bold ? 1 : 0)
               .arg(d.font.italic ? 1 : 0);
    out += QStringLiteral("common lineHeight=%1 base=%2 scaleW=%3 scaleH=%4 pages=%5 packed=0\n")
               .arg(d.lineHeight)
               .arg(d.base)
               .arg(d.sheet.width)
               .arg(d.pageHeight)
               .arg(d.pageFiles.size());
    if (d.distanceRange > 0)
        out += QStringLiteral("distanceField fieldType=%1 distanceRange=%2\n").arg(fieldTypeName(d.fieldType)).arg(d.distanceRange);
    for (qsizetype i = 0; i < d.pageFiles.size(); ++i)
        out += QStringLiteral("page id=%1 file=%2\n").arg(i).arg(quotedValue(d.pageFiles[i]));
    out += QStringLiteral("chars count=%1\n").arg(d.chars.size());
    for (const DescribedChar& c : d.chars) {
        out += QStringLiteral("char id=%1 x=%2 y=%3 width=%4 height=%5 xoffset=%6 yoffset=%7 xadvance=%8 "
                              "page=%9 chnl=15\n")
                   .arg(static_cast<std::uint32_t>(c.codePoint))
                   .arg(c.x)
                   .arg(c.y)
                   .arg(c.width)
                   .arg(c.height)
                   .arg(c.xoffset)
                   .arg(c.yoffset)
                   .arg(c.xadvance)
                   .arg(c.page);
    }
    if (!d.kerning.empty()) {
        out += QStringLiteral("kernings count=%1\n").arg(d.kerning.size());
        for (const KerningPair& k : d.kerning) {
            out += QStringLiteral("kerning first=%1 second=%2 amount=%3\n")
                       .arg(static_cast<std::uint32_t>(k.first))
                       .arg(static_cast<std::uint32_t>(k.second))
                       .arg(k.amount);
        }
    }
    return out.toUtf8();
}

QByteArray fntXml(const Descriptor& d) {
    QByteArray bytes;
    QXmlStreamWriter w(&bytes);
    w.setAutoFormatting(true);
    w.writeStartDocument();
    w.writeStartElement("font");
    const auto num = [](std::int64_t v) { return QString::number(v); };
    w.writeEmptyElement("info");
    w.writeAttribute("face", fntFaceName(d.font.face));
    w.writeAttribute("size", num(d.font.size));
    w.writeAttribute("bold", num(d.font.bold));
    w.writeAttribute("italic", num(d.font.italic));
    w.writeAttribute("charset", "");
    w.writeAttribute("unicode", "1");
    w.writeAttribute("stretchH", "100");
    w.writeAttribute("smooth", "1");
    w.writeAttribute("aa", "1");
    w.writeAttribute("padding", "0,0,0,0");
    w.writeAttribute("spacing", "0,0");
    w.writeEmptyElement("common");
    w.writeAttribute("lineHeight", num(d.lineHeight));
    w.writeAttribute("base", num(d.base));
    w.writeAttribute("scaleW", num(d.sheet.width));
    w.writeAttribute("scaleH", num(d.pageHeight));
    w.writeAttribute("pages", num(d.pageFiles.size()));
    w.writeAttribute("packed", "0");
    if (d.distanceRange > 0) {
        w.writeEmptyElement("distanceField");
        w.writeAttribute("fieldType", fieldTypeName(d.fieldType));
        w.writeAttribute("distanceRange", num(d.distanceRange));
    }
    w.writeStartElement("pages");
    for (qsizetype i = 0; i < d.pageFiles.size(); ++i) {
        w.writeEmptyElement("page");
        w.writeAttribute("id", num(i));
        w.writeAttribute("file", d.pageFiles[i]);
    }
    w.writeEndElement();
    w.writeStartElement("chars");
    w.writeAttribute("count", num(static_cast<std::int64_t>(d.chars.size())));
    for (const DescribedChar& c : d.chars) {
        w.writeEmptyElement("char");
        const std::pair<const char*, std::int64_t> fields[] = {
            {"id", c.codePoint}, {"x", c.x}, {"y", c.y}, {"width", c.width}, {"height", c.height},
            {"xoffset", c.xoffset}, {"yoffset", c.yoffset}, {"xadvance", c.xadvance}, {"page", c.page}, {"chnl", 15}};
        for (const auto& [name, value] : fields) w.writeAttribute(QLatin1String(name), num(value));
    }
    w.writeEndElement();
    if (!d.kerning.empty()) {
        w.writeStartElement("kernings");
        w.writeAttribute("count", num(static_cast<std::int64_t>(d.kerning.size())));
        for (const KerningPair& k : d.kerning) {
            w.writeEmptyElement("kerning");
            w.writeAttribute("first", num(k.first));
            w.writeAttribute("second", num(k.second));
            w.writeAttribute("amount", num(k.amount));
        }
        w.writeEndElement();
    }
    w.writeEndElement();
    w.writeEndDocument();
    return bytes;
}

namespace {

// Little-endian fields of the binary form, each checked against its width.
class BinaryBlocks {
public:
    template <class T>
    void put(std::int64_t v, const char* what) {
        if (v < std::numeric_limits<T>::min() || v > std::numeric_limits<T>::max()) {
            throw Error(ErrorKind::TooLarge, std::string("The binary descriptor cannot hold ") + what + " " +
                                                 std::to_string(v) + ": it must lie within " +
                                                 std::to_string(std::int64_t{std::numeric_limits<T>::min()}) +
                                                 " to " + std::to_string(std::int64_t{std::numeric_limits<T>::max()}));
        }
        for (std::size_t i = 0; i < sizeof(T); ++i) out_.append(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
    void text(const QByteArray& s) { out_ += s + '\0'; }
    // Starts a block; its size is filled in by end().
    void begin(std::uint8_t type) {
        out_.append(static_cast<char>(type));
        sizeAt_ = out_.size();
        out_.append(4, '\0');
    }
    void end() {
        const auto size = static_cast<std::uint32_t>(out_.size() - sizeAt_ - 4);
        for (int i = 0; i < 4; ++i) out_[sizeAt_ + i] = static_cast<char>((size >> (8 * i)) & 0xFF);
    }
    QByteArray& bytes() { return out_; }

private:
    QByteArray out_;
    qsizetype sizeAt_ = 0;
};

}  // namespace

QByteArray fntBinary(const Descriptor& d) {
    if (d.distanceRange > 0) {
        throw Error(ErrorKind::InvalidSize, "The binary descriptor cannot say that the page is a distance field; "
                                            "give --fnt-format text or xml");
    }
    BinaryBlocks b;
    b.bytes() = QByteArray("BMF\x03", 4);
    b.begin(1);  // info
    b.put<std::int16_t>(d.font.size, "a font size of");
    // smooth, unicode, italic, bold from the highest bit down.
    b.put<std::uint8_t>(0x80 | 0x40 | (d.font.italic ? 0x20 : 0) | (d.font.bold ? 0x10 : 0), "");
    b.put<std::uint8_t>(0, "");        // character set
    b.put<std::uint16_t>(100, "");     // stretch
    b.put<std::uint8_t>(1, "");        // supersampling
    for (int i = 0; i < 6; ++i) b.put<std::uint8_t>(0, "");  // padding, spacing
    b.put<std::uint8_t>(0, "");        // outline
    b.text(fntFaceName(d.font.face).toUtf8());
    b.end();
    b.begin(2);  // common
    b.put<std::uint16_t>(d.lineHeight, "a line height of");
    b.put<std::uint16_t>(d.base, "a base of");
    b.put<std::uint16_t>(d.sheet.width, "a sheet width of");
    b.put<std::uint16_t>(d.pageHeight, "a page height of");
    b.put<std::uint16_t>(d.pageFiles.size(), "a page count of");
    b.put<std::uint8_t>(0, "");   // not packed
    for (int i = 0; i < 4; ++i) b.put<std::uint8_t>(0, "");  // every channel holds the glyphs
    b.end();
    b.begin(3);  // pages: names of one length, each ended by a zero byte
    for (const QString& page : d.pageFiles) {
        if (page.toUtf8().size() != d.pageFiles[0].toUtf8().size()) {
            throw Error(ErrorKind::TooLarge, "The binary descriptor cannot name pages of different lengths (\"" +
                                                 d.pageFiles[0].toStdString() + "\" and \"" + page.toStdString() +
                                                 "\"); give a --max-size that makes at most 10 pages, or "
                                                 "--fnt-format text or xml");
        }
        b.text(page.toUtf8());
    }
    b.end();
    b.begin(4);  // chars
    for (const DescribedChar& c : d.chars) {
        b.put<std::uint32_t>(c.codePoint, "a character");
        b.put<std::uint16_t>(c.x, "an x position of");
        b.put<std::uint16_t>(c.y, "a y position of");
        b.put<std::uint16_t>(c.width, "a width of");
        b.put<std::uint16_t>(c.height, "a height of");
        b.put<std::int16_t>(c.xoffset, "an x offset of");
        b.put<std::int16_t>(c.yoffset, "a y offset of");
        b.put<std::int16_t>(c.xadvance, "an advance of");
        b.put<std::uint8_t>(c.page, "a page number of");
        b.put<std::uint8_t>(15, "");  // all channels
    }
    b.end();
    if (!d.kerning.empty()) {
        b.begin(5);
        for (const KerningPair& k : d.kerning) {
            b.put<std::uint32_t>(k.first, "a character");
            b.put<std::uint32_t>(k.second, "a character");
            b.put<std::int16_t>(k.amount, "a kerning amount of");
        }
        b.end();
    }
    return b.bytes();
}

QByteArray jsonDescriptor(const Descriptor& d, bool metrics) {
    QStringList files;
    for (const QString& page : d.pageFiles) files << jsonString(page);
    QString out = QStringLiteral("{\n  \"face\": ") + jsonString(d.font.face) + QStringLiteral(",");
    out += QStringLiteral("\n  \"width\": %1,\n  \"height\": %2,\n  \"cellWidth\": %3,\n"
                                 "  \"cellHeight\": %4,\n  \"columns\": %5,\n  \"rows\": %6,\n")
                      .arg(d.sheet.width)
                      .arg(d.sheet.height)
                      .arg(d.sheet.cellWidth)
                      .arg(d.sheet.cellHeight)
                      .arg(d.sheet.columns)
                      .arg(d.sheet.rows);
    out += QStringLiteral("  \"pages\": [") + files.join(QStringLiteral(", ")) + QStringLiteral("],\n");
    if (metrics) out += QStringLiteral("  \"lineHeight\": %1,\n  \"base\": %2,\n").arg(d.lineHeight).arg(d.base);
    if (d.distanceRange > 0)
        out += QStringLiteral("  \"distanceField\": {\"type\": \"%1\", \"distanceRange\": %2},\n")
                   .arg(fieldTypeName(d.fieldType))
                   .arg(d.distanceRange);
    out += QStringLiteral("  \"chars\": {");
    for (std::size_t i = 0; i < d.chars.size(); ++i) {
        const DescribedChar& c = d.chars[i];
        const std::int32_t pageTop = d.pageTops.empty() ? 0 : d.pageTops[static_cast<std::size_t>(c.page)];
        out += QStringLiteral("%1\n    \"%2\": {\"row\": %3, \"column\": %4, \"page\": %7, \"x\": %5, \"y\": %6")
                   .arg(i == 0 ? "" : ",")
                   .arg(static_cast<std::uint32_t>(c.codePoint))
                   .arg(c.row)
                   .arg(c.column)
                   .arg(std::int64_t{c.column} * d.sheet.cellWidth)
                   .arg(std::int64_t{c.row} * d.sheet.cellHeight - pageTop)
                   .arg(c.page);
        if (metrics) {
            out += QStringLiteral(", \"rectX\": %1, \"rectY\": %2, \"width\": %3, \"height\": %4, "
                                  "\"xoffset\": %5, \"yoffset\": %6, \"xadvance\": %7")
                       .arg(c.x)
                       .arg(c.y)
                       .arg(c.width)
                       .arg(c.height)
                       .arg(c.xoffset)
                       .arg(c.yoffset)
                       .arg(c.xadvance);
        }
        out += u'}';
    }
    out += d.chars.empty() ? QStringLiteral("}") : QStringLiteral("\n  }");
    if (metrics) {
        out += QStringLiteral(",\n  \"kerning\": [");
        for (std::size_t i = 0; i < d.kerning.size(); ++i) {
            const KerningPair& k = d.kerning[i];
            out += QStringLiteral("%1\n    {\"first\": %2, \"second\": %3, \"amount\": %4}")
                       .arg(i == 0 ? "" : ",")
                       .arg(static_cast<std::uint32_t>(k.first))
                       .arg(static_cast<std::uint32_t>(k.second))
                       .arg(k.amount);
        }
        out += d.kerning.empty() ? QStringLiteral("]") : QStringLiteral("\n  ]");
    }
    out += QStringLiteral("\n}\n");
    return out.toUtf8();
}

}  // namespace karuvo
