#include "checked.h"

namespace karuvo {

void throwOverflow(const char* what, const char* op, std::int64_t a, std::int64_t b) {
    std::string msg = "Arithmetic overflow: ";
    msg += what;
    if (*op) {
        msg += " (" + std::to_string(a) + " " + op + " " + std::to_string(b) + ")";
    } else {
        msg += " (" + std::to_string(a) + ")";
    }
    msg += " does not fit in a signed 32-bit integer";
    throw Error(ErrorKind::Overflow, msg);
}

}  // namespace karuvo
