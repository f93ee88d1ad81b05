#include "file_output.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QtGlobal>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "error.h"

namespace karuvo {

namespace {

QByteArray encoded(const QString& path) { return QFile::encodeName(path); }

// `why` is a marked text naming its own values from %2 on; %1 is the path.
[[noreturn]] void refuse(const QString& path, const char* why, std::vector<std::string> args = {}) {
    args.insert(args.begin(), path.toStdString());
    throw Error(ErrorKind::Io, why, std::move(args));
}

// Refuses `path` for the system error `err` met on a file in `folder`, in words that
// say what to do about it; `undone` says that the outputs already replaced were put back.
[[noreturn]] void refuseFor(const QString& path, int err, const QString& folder, bool undone = false) {
    if (err == ENOSPC || err == EDQUOT) {
        const QStorageInfo storage(folder);
        const QString root = storage.isValid() ? storage.rootPath() : folder;
        if (root == folder) {
            refuse(path, QT_TRANSLATE_NOOP("karuvo", "Cannot write \"%1\": no space left on device; free some space on "
                                                     "\"%2\" and try again"),
                   {root.toStdString()});
        }
        refuse(path, QT_TRANSLATE_NOOP("karuvo", "Cannot write \"%1\": no space left on device; free some space on "
                                                 "\"%2\" (which holds \"%3\") and try again"),
               {root.toStdString(), folder.toStdString()});
    }
    std::string text = std::strerror(err);
    if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    if (undone) {
        refuse(path, QT_TRANSLATE_NOOP("karuvo", "Cannot write \"%1\": %2; every output was left as it was"), {text});
    }
    refuse(path, QT_TRANSLATE_NOOP("karuvo", "Cannot write \"%1\": %2"), {text});
}

// One output on its way: the name given, the file that name writes, and the files
// made beside it.
struct Target {
    QString path;
    QString file;
    QString folder;
    bool exists = false;
    mode_t mode = 0;
    uid_t owner = 0;
    QString temporary;  // the finished contents
    QString backup;     // the old file, kept until every target is in place
    bool replaced = false;
};

mode_t newFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Fills in the file that `t.path` writes and refuses what cannot be replaced.
void resolve(Target& t) {
    const QFileInfo info(t.path);
    t.file = info.absoluteFilePath();
    struct stat st {};
    if (::lstat(encoded(t.file).constData(), &st) != 0) {
        // A name under a file (ENOTDIR) is judged by its folder below.
        if (errno != ENOENT && errno != ENOTDIR) refuseFor(t.path, errno, info.absolutePath());
        t.folder = info.absolutePath();
        struct stat dir {};
        if (::stat(encoded(t.folder).constData(), &dir) != 0)
            refuse(t.path, QT_TRANSLATE_NOOP("karuvo", "Cannot write \"%1\": the folder \"%2\" does not exist"),
                   {t.folder.toStdString()});
        if (!S_ISDIR(dir.st_mode)) {
            refuse(t.path, QT_TRANSLATE_NOOP("karuvo", "Cannot write \"%1\": \"%2\" is a file, not a folder"),
                   {t.folder.toStdString()});
        }
        return;
    }
    if (S_ISLNK(st.st_mode)) {
        if (::stat(encoded(t.file).constData(), &st) != 0)
            refuse(t.path, QT_TRANSLATE_NOOP("karuvo", "Cannot write \"%1\": it is a symbolic link to nothing; give "
                                                       "the name of a file"));
        t.file = info.canonicalFilePath();
    }
    if (S_ISDIR(st.st_mode)) refuse(t.path, QT_TRANSLATE_NOOP("karuvo", "Cannot write \"%1\": it is a folder"));
    if (!S_ISREG(st.st_mode)) {
        refuse(t.path, QT_TRANSLATE_NOOP("karuvo", "Cannot write \"%1\": it is not a regular file (a device, fifo or "
                                                   "socket); it was left alone, give the name of a file"));
    }
    t.exists = true;
    t.mode = st.st_mode & 07777;
    t.owner = st.st_uid;
    t.folder = QFileInfo(t.file).absolutePath();
}

// A new file beside `name` in `folder` whose name no other file has; its descriptor.
int uniqueFile(const QString& folder, const QString& name, QString& made) {
    QByteArray pattern = encoded(folder + "/." + name + ".XXXXXX");
    const int fd = ::mkstemp(pattern.data());
    if (fd >= 0) made = QFile::decodeName(pattern);
    return fd;
}

bool writeAll(int fd, const char* data, qsizetype size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<std::size_t>(std::min<qsizetype>(size, 1 << 30)));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

// Writes the temporary file of `t`, with the mode the target has or a new file gets.
void writeTemporary(Target& t, const FileContents& contents) {
    const int fd = uniqueFile(t.folder, QFileInfo(t.file).fileName(), t.temporary);
    if (fd < 0) refuseFor(t.path, errno, t.folder);
    // Closed on every way out, a producer's exception included.
    struct Descriptor {
        int fd;
        bool closed = false;
        int close() {
            closed = true;
            return ::close(fd);
        }
        ~Descriptor() {
            if (!closed) ::close(fd);
        }
    } file{fd};
    const auto put = [fd](const char* data, qsizetype size) { return writeAll(fd, data, size); };
    const bool ok = ::fchmod(fd, t.exists ? t.mode : newFileMode()) == 0 &&
                    (contents.produce ? contents.produce(put) : put(contents.bytes.constData(), contents.bytes.size()));
    const int err = errno;
    if (file.close() != 0 && ok) refuseFor(t.path, errno, t.folder);
    if (!ok) refuseFor(t.path, err, t.folder);
}

// Keeps the old file of `t` aside under a new name: a second link to it, or a copy
// where the filesystem has no links.
void keepOldFile(Target& t) {
    const QString name = QFileInfo(t.file).fileName();
    QString placeholder;
    const int fd = uniqueFile(t.folder, name + ".old", placeholder);
    if (fd < 0) refuseFor(t.path, errno, t.folder);
    ::close(fd);
    ::unlink(encoded(placeholder).constData());
    if (::link(encoded(t.file).constData(), encoded(placeholder).constData()) == 0) {
        t.backup = placeholder;
        return;
    }
    QFile old(t.file);
    if (!old.open(QIODevice::ReadOnly)) {
        refuse(t.path, QT_TRANSLATE_NOOP("karuvo", "Cannot write \"%1\": the file cannot be read to keep it until the "
                                                   "new one is in place (%2)"),
               {old.errorString().toStdString()});
    }
    const int copy = ::open(encoded(placeholder).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, t.mode);
    if (copy < 0) refuseFor(t.path, errno, t.folder);
    t.backup = placeholder;
    bool ok = true;
    while (ok) {
        const QByteArray piece = old.read(1 << 20);
        if (piece.isEmpty()) break;
        ok = writeAll(copy, piece.constData(), piece.size());
    }
    const int err = errno;
    ::close(copy);
    if (!ok || old.error() != QFileDevice::NoError) refuseFor(t.path, err, t.folder);
}

// A folder with the sticky bit lets only the owner of a file (or of the folder)
// replace it.
void checkReplaceable(const Target& t) {
    if (!t.exists || ::geteuid() == 0) return;
    struct stat dir {};
    if (::stat(encoded(t.folder).constData(), &dir) != 0) return;
    if ((dir.st_mode & S_ISVTX) && t.owner != ::geteuid() && dir.st_uid != ::geteuid()) {
        refuse(t.path, QT_TRANSLATE_NOOP("karuvo", "Cannot write \"%1\": the folder \"%2\" lets only the file's owner "
                                                   "replace it; give another name or ask its owner"),
               {t.folder.toStdString()});
    }
}

// Removes what a failed or finished run made beside the targets.
struct Cleanup {
    std::vector<Target>& targets;
    ~Cleanup() {
        for (const Target& t : targets) {
            if (!t.temporary.isEmpty()) ::unlink(encoded(t.temporary).constData());
            if (!t.backup.isEmpty()) ::unlink(encoded(t.backup).constData());
        }
    }
};

}  // namespace

bool sameFile(const QString& a, const QString& b) {
    struct stat sa {}, sb {};
    if (::stat(encoded(QFileInfo(a).absoluteFilePath()).constData(), &sa) == 0 &&
        ::stat(encoded(QFileInfo(b).absoluteFilePath()).constData(), &sb) == 0) {
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    }
    const auto place = [](const QString& path) {
        const QFileInfo info(path);
        QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
        if (folder.isEmpty()) folder = info.absolutePath();
        return QDir::cleanPath(folder + u'/' + info.fileName());
    };
    return place(a) == place(b);
}

void writeFileAtomically(const QString& path, const QByteArray& bytes) {
    writeFilesAtomically({FileContents{path, bytes, {}}});
}

void writeFilesAtomically(const std::vector<FileContents>& files) {
    std::vector<Target> targets(files.size());
    Cleanup cleanup{targets};
    for (std::size_t i = 0; i < files.size(); ++i) {
        targets[i].path = files[i].path;
        resolve(targets[i]);
        for (std::size_t j = 0; j < i; ++j) {
            if (sameFile(targets[j].file, targets[i].file)) {
                refuse(targets[i].path, QT_TRANSLATE_NOOP("karuvo", "Cannot write \"%1\": it is the same file as "
                                                                    "\"%2\"; give each output a name of its own"),
                       {targets[j].path.toStdString()});
            }
        }
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        checkReplaceable(targets[i]);
        writeTemporary(targets[i], files[i]);
        if (targets[i].exists) keepOldFile(targets[i]);
    }
    for (Target& t : targets) {
        if (std::rename(encoded(t.temporary).constData(), encoded(t.file).constData()) != 0) {
            const int err = errno;
            // Put back what the earlier renames replaced; a target that was new goes again.
            for (Target& done : targets) {
                if (!done.replaced) continue;
                if (done.exists) {
                    if (std::rename(encoded(done.backup).constData(), encoded(done.file).constData()) == 0)
                        done.backup.clear();
                } else {
                    ::unlink(encoded(done.file).constData());
                }
            }
            refuseFor(t.path, err, t.folder, true);
        }
        t.temporary.clear();
        t.replaced = true;
    }
}

}  // namespace karuvo
