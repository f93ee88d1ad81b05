#pragma once

#include "platform/font.h"

namespace karuvo::fakes {

// DejaVu Sans Mono at a character height of `px` pixels, as the font dialog describes it.
inline FontDescription monoDescription(int px) {
    FontDescription d;
    d.height = -px;
    d.weight = 400;
    d.faceName = QStringLiteral("DejaVu Sans Mono");
    return d;
}

}  // namespace karuvo::fakes
