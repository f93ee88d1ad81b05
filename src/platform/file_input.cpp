#include "file_input.h"

#include <QFile>
#include <QtGlobal>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace karuvo {

const char* specialFileKind(const QString& path) {
    struct stat st {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0 || S_ISREG(st.st_mode)) return nullptr;
    if (S_ISDIR(st.st_mode)) return QT_TRANSLATE_NOOP("karuvo", "a folder");
    if (S_ISFIFO(st.st_mode)) return QT_TRANSLATE_NOOP("karuvo", "a named pipe");
    if (S_ISSOCK(st.st_mode)) return QT_TRANSLATE_NOOP("karuvo", "a socket");
    return QT_TRANSLATE_NOOP("karuvo", "a device");
}

int openRegularFile(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int err = errno;
        ::close(fd);
        errno = S_ISREG(st.st_mode) ? err : EINVAL;
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

}  // namespace karuvo
