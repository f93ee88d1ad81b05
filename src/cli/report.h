#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>
#include <vector>

#include "export/descriptors.h"
#include "platform/font.h"

namespace karuvo::cli {

// A character that the chosen face lacks, with the face that draws it instead
// (empty when no installed face has it).
struct FallbackChar {
    char32_t codePoint;
    QString face;
};

// Every distinct character of the text, in text order, that the font's own face does
// not draw (with no face when the font asks for no fallback). Line breaks and other control and format characters, which no face
// draws, are left out.
std::vector<FallbackChar> missingCharacters(QStringView text, const Font& font);

// `text` safe to print on a terminal line: each control or format character and each
// line or paragraph separator (U+2028, U+2029) given as "<U+XXXX>" instead.
QString visible(const QString& text);

// The report shown after a build: the sheet, grid and cell sizes, the number of
// characters, the face and every missing character (said to be left empty when
// `leftEmpty`); a character that is not printable is named by its code point alone,
// and the face names are made visible. Every line starts with
// "karuvo-cli: " and ends with a line feed.
QString reportText(const SheetGeometry& sheet, std::size_t characters, const QString& face,
                   std::int32_t pixelSize, const std::vector<FallbackChar>& missing, bool leftEmpty = false);

}  // namespace karuvo::cli
