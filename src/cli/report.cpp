#include "report.h"

#include "sheet/grid.h"

namespace karuvo::cli {
namespace {

QString counted(std::int64_t n, const char* noun) {
    return QString::number(n) + u' ' + QLatin1String(noun) + (n == 1 ? "" : "s");
}

}  // namespace

QString reportText(const SheetGeometry& sheet, std::size_t characters, const QString& face,
                   std::int32_t pixelSize, const std::vector<FallbackChar>& missing, bool leftEmpty) {
    const QString prefix = QStringLiteral("karuvo-cli: ");
    QString out = prefix + QStringLiteral("sheet %1 x %2 pixels, cells of %3 x %4 in %5 and %6 (%7), %8, "
                                          "font \"%9\" %10 px\n")
                               .arg(sheet.width)
                               .arg(sheet.height)
                               .arg(sheet.cellWidth)
                               .arg(sheet.cellHeight)
                               .arg(counted(sheet.columns, "column"), counted(sheet.rows, "row"),
                                    counted(std::int64_t{sheet.columns} * sheet.rows, "cell"),
                                    counted(static_cast<std::int64_t>(characters), "character"), face)
                               .arg(pixelSize);
    for (const FallbackChar& m : missing) {
        const QString name = QStringLiteral("U+%1 %2")
                                 .arg(static_cast<std::uint32_t>(m.codePoint), 4, 16, QLatin1Char('0'))
                                 .toUpper()
                                 .arg(codePointText(m.codePoint));
        out += prefix + name + QStringLiteral(" is not in \"%1\"; ").arg(face) +
               (leftEmpty           ? QStringLiteral("left empty\n")
                : m.face.isEmpty() ? QStringLiteral("no installed face has it, so its cell shows the missing-glyph box\n")
                                 : QStringLiteral("drawn with \"%1\"\n").arg(m.face));
    }
    return out;
}

}  // namespace karuvo::cli
