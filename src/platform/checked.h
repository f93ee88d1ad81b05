#pragma once

#include <cstdint>
#include <string>

#include "error.h"

namespace karuvo {

// Signed 32-bit arithmetic that never wraps: a result outside the range throws
// Error(Overflow) naming `what` (for instance "sheet width") and the operands.
[[noreturn]] void throwOverflow(const char* what, const char* op, std::int64_t a, std::int64_t b);

inline std::int32_t checkedAdd(std::int32_t a, std::int32_t b, const char* what = "a sum") {
    std::int32_t r;
    if (__builtin_add_overflow(a, b, &r)) throwOverflow(what, "+", a, b);
    return r;
}

inline std::int32_t checkedSub(std::int32_t a, std::int32_t b, const char* what = "a difference") {
    std::int32_t r;
    if (__builtin_sub_overflow(a, b, &r)) throwOverflow(what, "-", a, b);
    return r;
}

inline std::int32_t checkedMul(std::int32_t a, std::int32_t b, const char* what = "a product") {
    std::int32_t r;
    if (__builtin_mul_overflow(a, b, &r)) throwOverflow(what, "x", a, b);
    return r;
}

// Narrows a wider value, throwing Error(Overflow) when it does not fit.
inline std::int32_t checkedNarrow(std::int64_t v, const char* what = "a value") {
    if (v < INT32_MIN || v > INT32_MAX) throwOverflow(what, "", v, 0);
    return static_cast<std::int32_t>(v);
}

// Integer division truncating toward zero (the division of the placement formulas).
inline std::int32_t divTrunc(std::int32_t a, std::int32_t b, const char* what = "a quotient") {
    if (b == -1 && a == INT32_MIN) throwOverflow(what, "/", a, b);
    return a / b;
}

}  // namespace karuvo
