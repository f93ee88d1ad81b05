#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>
#include <vector>

#include "cli/descriptors.h"
#include "platform/font.h"
#include "sheet/findings.h"

namespace karuvo::cli {

// The report shown after a build: the sheet, grid and cell sizes, the number of
// characters, the face and every missing character (said to be left empty when
// `leftEmpty`). Every line starts with
// "karuvo-cli: " and ends with a line feed.
QString reportText(const SheetGeometry& sheet, std::size_t characters, const QString& face,
                   std::int32_t pixelSize, const std::vector<FallbackChar>& missing, bool leftEmpty = false);

}  // namespace karuvo::cli
