#include "report.h"

#include "sheet/grid.h"

namespace karuvo::cli {
namespace {

// Characters that would move the cursor, vanish or break the line if printed raw.
bool unprintable(char32_t c) {
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph: return true;
    default: return false;
    }
}

QString codePointName(char32_t c) {
    return QStringLiteral("U+%1").arg(static_cast<std::uint32_t>(c), 4, 16, QLatin1Char('0')).toUpper();
}

QString counted(std::int64_t n, const char* noun) {
    return QString::number(n) + u' ' + QLatin1String(noun) + (n == 1 ? "" : "s");
}

}  // namespace

QString visible(const QString& text) {
    QString out;
    for (const char32_t c : codePointsOf(text)) out += unprintable(c) ? u'<' + codePointName(c) + u'>' : codePointText(c);
    return out;
}

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
                                    counted(static_cast<std::int64_t>(characters), "character"), visible(face))
                               .arg(pixelSize);
    for (const FallbackChar& m : missing) {
        const QString name =
            unprintable(m.codePoint) ? codePointName(m.codePoint) : codePointName(m.codePoint) + u' ' + codePointText(m.codePoint);
        out += prefix + name + QStringLiteral(" is not in \"%1\"; ").arg(visible(face)) +
               (leftEmpty           ? QStringLiteral("left empty\n")
                : m.face.isEmpty() ? QStringLiteral("no installed face has it, so its cell shows the missing-glyph box\n")
                                 : QStringLiteral("drawn with \"%1\"\n").arg(visible(m.face)));
    }
    return out;
}

}  // namespace karuvo::cli
