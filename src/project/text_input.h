#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace karuvo {

// The largest text file that is read.
inline constexpr std::int64_t kMaxTextBytes = 256ll * 1024 * 1024;

// Decodes UTF-8 strictly: a leading byte-order mark is skipped; an overlong form, a
// surrogate, a code point above U+10FFFF, a stray continuation byte or a sequence cut
// short throws Error(Text) naming `source` and the byte offset (from 0, counted in
// `bytes`) where the bad sequence starts, and ending in `remedy`, what to change.
QString decodeUtf8(const QByteArray& bytes, const QString& source,
                   const QString& remedy = QStringLiteral("save the text as UTF-8"));

// Reads and decodes a text file; "-" reads standard input to its end. A file that
// is missing, a folder, a pipe, socket or device (refused without waiting on it),
// unreadable or larger than kMaxTextBytes throws Error(Io).
QString readTextFile(const QString& path);

}  // namespace karuvo
