#include "colour.h"

#include "error.h"

namespace karuvo {

QString colourReadout(Colour c) { return QString::number(c, 16).toUpper(); }

std::int32_t readColourCaption(QStringView caption) {
    std::uint32_t v = 0;
    int digits = 0;
    for (QChar ch : caption) {
        int d;
        if (ch >= u'0' && ch <= u'9') d = ch.unicode() - u'0';
        else if (ch >= u'a' && ch <= u'f') d = ch.unicode() - u'a' + 10;
        else if (ch >= u'A' && ch <= u'F') d = ch.unicode() - u'A' + 10;
        else break;
        if (v == 0 && d == 0) continue;  // leading zeros add nothing
        if (++digits > 8) {
            throw Error(ErrorKind::Overflow,
                        QT_TRANSLATE_NOOP("karuvo", "The colour \"%1\" has more than eight hexadecimal digits"),
                        {caption.toString().toStdString()});
        }
        v = v * 16 + static_cast<std::uint32_t>(d);
    }
    return static_cast<std::int32_t>(v);
}

}  // namespace karuvo
