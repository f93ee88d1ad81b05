#include "file_input.h"

#include <QFile>
#include <QtGlobal>
#include <sys/stat.h>

namespace karuvo {

const char* specialFileKind(const QString& path) {
    struct stat st {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0 || S_ISREG(st.st_mode)) return nullptr;
    if (S_ISDIR(st.st_mode)) return QT_TRANSLATE_NOOP("karuvo", "a folder");
    if (S_ISFIFO(st.st_mode)) return QT_TRANSLATE_NOOP("karuvo", "a named pipe");
    if (S_ISSOCK(st.st_mode)) return QT_TRANSLATE_NOOP("karuvo", "a socket");
    return QT_TRANSLATE_NOOP("karuvo", "a device");
}

}  // namespace karuvo
