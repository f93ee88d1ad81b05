#pragma once

// The font files behind a font found by its family: inputs of a run, like a font file
// given by name, which no output may replace.

#include <QString>
#include <vector>

namespace karuvo {

class Font;

// A font file that draws a sheet, with the family it was found by.
struct FaceFile {
    QString family;
    QString path;
    bool fallback = false;  // of a fallback face, drawing characters the own face lacks
};

// A face as the system's font configuration lists it: its file and its index there.
struct ConfiguredFace {
    QString path;
    int index = 0;
};

// The faces the font configuration lists for a family (fonts this process loaded
// included, under the names the configuration gives them).
std::vector<ConfiguredFace> configuredFaces(const QString& family);

// The files, as the system's font configuration lists them (fonts this process loaded
// included), of the families that draw `text` in `font`: its own family, and each
// fallback family that draws a character the own face lacks. Every file of such a
// family is listed, whichever of its faces draws (a collection once a face).
std::vector<FaceFile> drawingFontFiles(const Font& font, const QString& text);

}  // namespace karuvo
