#include <gtest/gtest.h>

#include "project/text_input.h"
#include "support/fixtures.h"

using namespace karuvo;

namespace {

// The message of the error that decoding `bytes` throws, or "" when it does not.
std::string decodeError(const QByteArray& bytes) {
    const auto e = fakes::thrownBy([&] { decodeUtf8(bytes, "\"t.txt\""); });
    return e ? e->what() : "";
}

}  // namespace

TEST(TextInput, DecodesEveryLengthOfSequenceSkipsOnlyALeadingBomAndNamesABadByte) {
    // A, e-acute (2 bytes), hiragana a (3 bytes), a grinning face and U+10FFFF (4 bytes), a mark kept mid-text.
    EXPECT_EQ(decodeUtf8("\xEF\xBB\xBF" "A\xC3\xA9\xE3\x81\x82\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF\xEF\xBB\xBF", "x"),
              QStringLiteral("A\u00E9\u3042") + QString::fromUcs4(U"\U0001F600\U0010FFFF") + QChar(0xFEFF));
    EXPECT_EQ(decodeUtf8("\xEF\xBB\xBF", "x"), QString());  // a file of the mark alone is empty
    // A bad sequence is named by its byte offset.
    EXPECT_EQ(decodeError("AB\xFF"),
              "The text in \"t.txt\" is not valid UTF-8: the byte at offset 2 (0xFF) does not start a whole "
              "character; save the text as UTF-8");
    // Offsets count the byte-order mark; overlong forms, surrogates, code points past
    // U+10FFFF, sequences cut short and bad continuations are all refused.
    const std::pair<QByteArray, const char*> bad[] = {
        {"\xEF\xBB\xBF" "A\x80", "offset 4 (0x80)"}, {"AB\xC0\x80", "offset 2 (0xC0)"},
        {"\xE0\x80\xAF", "offset 0 (0xE0)"},        {"A\xED\xA0\x80", "offset 1 (0xED)"},
        {"\xF4\x90\x80\x80", "offset 0 (0xF4)"},    {"ABC\xE3\x81", "offset 3 (0xE3)"},
        {"\xE3\x41\x82", "offset 0 (0xE3)"}};
    for (const auto& [bytes, where] : bad) EXPECT_NE(decodeError(bytes).find(where), std::string::npos) << where;
}
