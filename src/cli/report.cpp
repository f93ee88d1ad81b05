#include "report.h"

#include <unordered_set>

#include "sheet/grid.h"

namespace karuvo::cli {

std::vector<FallbackChar> missingCharacters(QStringView text, const Font& font) {
    std::vector<FallbackChar> missing;
    std::unordered_set<char32_t> seen;
    const QString own = font.resolvedFamily();
    for (char32_t c : codePointsOf(text)) {
        const QChar::Category cat = QChar::category(c);
        if (cat == QChar::Other_Control || cat == QChar::Other_Format) continue;
        if (!seen.insert(c).second) continue;
        const QString face = font.drawingFamily(c);
        if (face != own) missing.push_back(FallbackChar{c, face});
    }
    return missing;
}

QString reportText(const SheetGeometry& sheet, std::size_t characters, const QString& face,
                   std::int32_t pixelSize, const std::vector<FallbackChar>& missing) {
    const QString prefix = QStringLiteral("karuvo-cli: ");
    QString out = prefix + QStringLiteral("sheet %1 x %2 pixels: %3 columns x %4 rows = %5 cells of %6 x %7, "
                                          "%8 characters, font \"%9\" %10 px\n")
                               .arg(sheet.width)
                               .arg(sheet.height)
                               .arg(sheet.columns)
                               .arg(sheet.rows)
                               .arg(std::int64_t{sheet.columns} * sheet.rows)
                               .arg(sheet.cellWidth)
                               .arg(sheet.cellHeight)
                               .arg(characters)
                               .arg(face)
                               .arg(pixelSize);
    for (const FallbackChar& m : missing) {
        const QString name = QStringLiteral("U+%1 %2")
                                 .arg(static_cast<std::uint32_t>(m.codePoint), 4, 16, QLatin1Char('0'))
                                 .toUpper()
                                 .arg(codePointText(m.codePoint));
        out += prefix + name + QStringLiteral(" is not in \"%1\"; ").arg(face) +
               (m.face.isEmpty() ? QStringLiteral("no installed face has it\n")
                                 : QStringLiteral("drawn with \"%1\"\n").arg(m.face));
    }
    return out;
}

}  // namespace karuvo::cli
