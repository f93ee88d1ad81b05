#pragma once

// What a build writes: the sheet's files and the descriptors beside them.

#include <QString>
#include <cstdint>

namespace karuvo {

// How a descriptor places the characters.
enum class Pitch {
    Font,  // as the font sets them: their own boxes, advances and kerning
    Cell,  // on a fixed pitch: the whole cell each, the cell width as advance
};

// The form of the .fnt descriptor.
enum class FntFormat { Text, Xml, Binary };

// The files a build writes; an empty path names no file.
struct OutputPlan {
    QString outputPath;               // the sheet, .bmp or .png
    std::int32_t maxPageSide = 0;     // 0: the whole sheet in outputPath; otherwise pages no larger
    QString fntPath;                  // empty: no descriptor
    QString jsonPath;
    Pitch pitch = Pitch::Font;
    FntFormat fntFormat = FntFormat::Text;
};

}  // namespace karuvo
