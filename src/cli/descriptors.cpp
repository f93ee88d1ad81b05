#include "descriptors.h"

#include <algorithm>
#include <unordered_set>

#include "platform/checked.h"
#include "sheet/grid.h"

namespace karuvo::cli {

std::vector<CharPlace> firstPlaces(QStringView text, std::int32_t cellWidth, std::int32_t cellHeight,
                                   std::int32_t wrapColumns) {
    std::vector<CharPlace> places;
    std::unordered_set<char32_t> seen;
    for (const GridCell& cell : gridCells(text, wrapColumns)) {
        if (!seen.insert(cell.codePoint).second) continue;
        places.push_back(CharPlace{cell.codePoint, cell.column, cell.row,
                                   checkedMul(cell.column, cellWidth, "a cell's x position"),
                                   checkedMul(cell.row, cellHeight, "a cell's y position")});
    }
    std::sort(places.begin(), places.end(),
              [](const CharPlace& a, const CharPlace& b) { return a.codePoint < b.codePoint; });
    return places;
}

void placeOnPages(std::vector<CharPlace>& places, const std::vector<Page>& pages) {
    for (CharPlace& p : places) {
        const std::size_t page = pageOfRow(pages, p.row);
        p.page = static_cast<std::int32_t>(page);
        p.y -= pages[page].y;
    }
}

std::int32_t cellBaseline(std::int32_t cellHeight, std::int32_t lineHeight, std::int32_t ascent,
                          std::int32_t shadowDy) {
    // The glyphs' top uses truncating division, as their placement does.
    const std::int64_t top = (std::int64_t{cellHeight} - lineHeight) / 2 - shadowDy / 2;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(top + ascent, 0, cellHeight));
}

namespace {

// The format has no escapes inside quotes, so a double quote cannot appear there.
QString quotedValue(QString s) { return u'"' + s.replace(u'"', u'\'') + u'"'; }

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

}  // namespace

QByteArray fntDescriptor(const SheetGeometry& sheet, const DescriptorFont& font, const PageFiles& pages,
                         const std::vector<CharPlace>& places) {
    QString out;
    out += QStringLiteral("info face=%1 size=%2 bold=%3 italic=%4 charset=\"\" unicode=1 stretchH=100 "
                          "smooth=1 aa=1 padding=0,0,0,0 spacing=0,0\n")
               .arg(quotedValue(font.face))
               .arg(font.size)
               .arg(font.bold ? 1 : 0)
               .arg(font.italic ? 1 : 0);
    out += QStringLiteral("common lineHeight=%1 base=%2 scaleW=%3 scaleH=%4 pages=%5 packed=0\n")
               .arg(sheet.cellHeight)
               .arg(font.base)
               .arg(sheet.width)
               .arg(pages.height)
               .arg(pages.names.size());
    for (qsizetype i = 0; i < pages.names.size(); ++i)
        out += QStringLiteral("page id=%1 file=%2\n").arg(i).arg(quotedValue(pages.names[i]));
    out += QStringLiteral("chars count=%1\n").arg(places.size());
    for (const CharPlace& p : places) {
        out += QStringLiteral("char id=%1 x=%2 y=%3 width=%4 height=%5 xoffset=0 yoffset=0 xadvance=%4 "
                              "page=%6 chnl=15\n")
                   .arg(static_cast<std::uint32_t>(p.codePoint))
                   .arg(p.x)
                   .arg(p.y)
                   .arg(sheet.cellWidth)
                   .arg(sheet.cellHeight)
                   .arg(p.page);
    }
    return out.toUtf8();
}

QByteArray jsonDescriptor(const SheetGeometry& sheet, const QString& face, const QStringList& pages,
                          const std::vector<CharPlace>& places) {
    QStringList files;
    for (const QString& page : pages) files << jsonString(page);
    QString out = QStringLiteral("{\n  \"face\": ") + jsonString(face) +
                  QStringLiteral(",\n  \"width\": %1,\n  \"height\": %2,\n  \"cellWidth\": %3,\n"
                                 "  \"cellHeight\": %4,\n  \"columns\": %5,\n  \"rows\": %6,\n  \"pages\": [")
                      .arg(sheet.width)
                      .arg(sheet.height)
                      .arg(sheet.cellWidth)
                      .arg(sheet.cellHeight)
                      .arg(sheet.columns)
                      .arg(sheet.rows) +
                  files.join(QStringLiteral(", ")) + QStringLiteral("],\n  \"chars\": {");
    for (std::size_t i = 0; i < places.size(); ++i) {
        const CharPlace& p = places[i];
        out += QStringLiteral("%1\n    \"%2\": {\"row\": %3, \"column\": %4, \"page\": %7, \"x\": %5, \"y\": %6}")
                   .arg(i == 0 ? "" : ",")
                   .arg(static_cast<std::uint32_t>(p.codePoint))
                   .arg(p.row)
                   .arg(p.column)
                   .arg(p.x)
                   .arg(p.y)
                   .arg(p.page);
    }
    out += places.empty() ? QStringLiteral("}\n}\n") : QStringLiteral("\n  }\n}\n");
    return out.toUtf8();
}

}  // namespace karuvo::cli
