#include "project.h"

namespace karuvo {

FontDescription FontRequest::description(const QString& defaultFamily) const {
    FontDescription d;
    d.height = -pixelSize;
    d.weight = weight > 0 ? weight : bold ? 700 : 400;
    d.italic = italic ? 1 : 0;
    d.underline = underline ? 1 : 0;
    d.strikeOut = strikeOut ? 1 : 0;
    d.faceName = family.isEmpty() ? defaultFamily : family;
    d.noFallback = noFallback;
    if (mono) d.quality = kNonAntialiasedQuality;
    return d;
}

}  // namespace karuvo
