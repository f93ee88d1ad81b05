#include "text_input.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/error.h"
#include "platform/file_input.h"

namespace karuvo {
namespace {

std::string quoted(const QString& s) { return (u'"' + s + u'"').toStdString(); }

// The length of the valid sequence starting at bytes[i], or 0 when it is not valid.
int sequenceLength(const unsigned char* p, qsizetype i, qsizetype n, char32_t& cp) {
    const unsigned char b = p[i];
    if (b < 0x80) {
        cp = b;
        return 1;
    }
    int len;
    char32_t min;
    if ((b & 0xE0) == 0xC0) len = 2, cp = b & 0x1F, min = 0x80;
    else if ((b & 0xF0) == 0xE0) len = 3, cp = b & 0x0F, min = 0x800;
    else if ((b & 0xF8) == 0xF0) len = 4, cp = b & 0x07, min = 0x10000;
    else return 0;
    if (i + len > n) return 0;
    for (int k = 1; k < len; ++k) {
        if ((p[i + k] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

}  // namespace

QString decodeUtf8(const QByteArray& bytes, const QString& source, const QString& remedy) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype start = 0;
    if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) start = 3;

    QString out;
    out.reserve(n - start);
    for (qsizetype i = start; i < n;) {
        char32_t cp = 0;
        const int len = sequenceLength(p, i, n, cp);
        if (len == 0) {
            const QString message =
                QStringLiteral("The text in %1 is not valid UTF-8: the byte at offset %2 (0x%3) does not "
                               "start a whole character; %4")
                    .arg(source)
                    .arg(i)
                    .arg(QString::number(p[i], 16).toUpper().rightJustified(2, u'0'), remedy);
            throw Error(ErrorKind::Text, message.toStdString());
        }
        if (cp < 0x10000) {
            out.append(QChar(static_cast<char16_t>(cp)));
        } else {
            out.append(QChar(QChar::highSurrogate(cp)));
            out.append(QChar(QChar::lowSurrogate(cp)));
        }
        i += len;
    }
    return out;
}

QString readTextFile(const QString& path) {
    QFile file;
    QString source;
    if (path == "-") {
        source = QStringLiteral("standard input");
        if (!file.open(stdin, QIODevice::ReadOnly)) {
            throw Error(ErrorKind::Io, "Cannot read standard input: " + file.errorString().toStdString());
        }
    } else {
        source = QString::fromStdString(quoted(path));
        const std::string name = quoted(path);
        if (const char* kind = specialFileKind(path)) {
            throw Error(ErrorKind::Io, "Cannot read the text file " + name + ": it is " + kind +
                                           ", not a text file; give -T a file, or the text on standard input with -T -");
        }
        const int fd = openRegularFile(path);
        if (fd < 0 && errno == ENOENT) throw Error(ErrorKind::Io, "Cannot read the text file " + name + ": no such file");
        if (fd < 0 && errno == EINVAL) {
            throw Error(ErrorKind::Io, "Cannot read the text file " + name + ": it is not a regular file; give -T a "
                                                                            "file, or the text on standard input with -T -");
        }
        if (fd < 0) throw Error(ErrorKind::Io, "Cannot read the text file " + name + ": " + std::strerror(errno));
        struct stat st {};
        ::fstat(fd, &st);
        if (st.st_size > kMaxTextBytes) {
            ::close(fd);
            throw Error(ErrorKind::Io, "Cannot read the text file " + name + ": it is " + std::to_string(st.st_size) +
                                           " bytes, more than " + std::to_string(kMaxTextBytes));
        }
        if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
            ::close(fd);
            throw Error(ErrorKind::Io, "Cannot read the text file " + name + ": " + file.errorString().toStdString());
        }
    }
    // Read in pieces until the end: a pipe hands over what it has at each call.
    QByteArray bytes;
    for (;;) {
        const QByteArray piece = file.read(1 << 20);
        if (piece.isEmpty()) break;
        bytes += piece;
        if (bytes.size() > kMaxTextBytes) break;
    }
    if (file.error() != QFileDevice::NoError) {
        throw Error(ErrorKind::Io, "Cannot read " + source.toStdString() + ": " + file.errorString().toStdString());
    }
    if (bytes.size() > kMaxTextBytes) {
        throw Error(ErrorKind::Io, "Cannot read " + source.toStdString() + ": it holds more than " +
                                       std::to_string(kMaxTextBytes) + " bytes");
    }
    return decodeUtf8(bytes, source);
}

}  // namespace karuvo
