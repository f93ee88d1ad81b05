#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>
#include <vector>

#include "export/descriptors.h"
#include "platform/font.h"
#include "sheet/findings.h"

namespace karuvo::cli {

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
