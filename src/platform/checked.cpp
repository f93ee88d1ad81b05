#include "checked.h"

#include <QtGlobal>

namespace karuvo {

void throwOverflow(const char* what, const char* op, std::int64_t a, std::int64_t b) {
    if (*op) {
        throw Error(ErrorKind::Overflow,
                    QT_TRANSLATE_NOOP("karuvo", "Arithmetic overflow: %1 (%2 %3 %4) does not fit in a signed 32-bit integer"),
                    {what, std::to_string(a), op, std::to_string(b)});
    }
    throw Error(ErrorKind::Overflow,
                QT_TRANSLATE_NOOP("karuvo", "Arithmetic overflow: %1 (%2) does not fit in a signed 32-bit integer"),
                {what, std::to_string(a)});
}

}  // namespace karuvo
