#include "file_output.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QtGlobal>
#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <string>
#include <tuple>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

#include "error.h"

namespace karuvo {

namespace {

QByteArray encoded(const QString& path) { return QFile::encodeName(path); }

// The signals on which a write under way is undone.
constexpr int kUndoSignals[] = {SIGINT, SIGTERM, SIGHUP};

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
        struct statvfs fs {};
        const bool noInodes = err == ENOSPC && ::statvfs(encoded(folder).constData(), &fs) == 0 && fs.f_files > 0 &&
                              fs.f_favail == 0;
        // Each case twice: for the filesystem's own top folder, and for a folder in it.
        static const char* const texts[3][2] = {
            {QT_TRANSLATE_NOOP("karuvo", "Cannot write \"%1\": no space left on device; free some space on \"%2\" "
                                         "and try again"),
             QT_TRANSLATE_NOOP("karuvo", "Cannot write \"%1\": no space left on device; free some space on \"%2\" "
                                         "(which holds \"%3\") and try again")},
            {QT_TRANSLATE_NOOP("karuvo", "Cannot write \"%1\": no free inodes left on \"%2\", which holds as many "
                                         "files as it can; remove some files from it and try again"),
             QT_TRANSLATE_NOOP("karuvo", "Cannot write \"%1\": no free inodes left on \"%2\" (which holds \"%3\"), "
                                         "which holds as many files as it can; remove some files from it and try again")},
            {QT_TRANSLATE_NOOP("karuvo", "Cannot write \"%1\": your disk quota on \"%2\" is used up; remove some "
                                         "of your files there or ask for a larger quota"),
             QT_TRANSLATE_NOOP("karuvo", "Cannot write \"%1\": your disk quota on \"%2\" (which holds \"%3\") is "
                                         "used up; remove some of your files there or ask for a larger quota")}};
        const int which = err == EDQUOT ? 2 : noInodes ? 1 : 0;
        if (root == folder) refuse(path, texts[which][0], {root.toStdString()});
        refuse(path, texts[which][1], {root.toStdString(), folder.toStdString()});
    }
    std::string text = std::strerror(err);
    if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    if (undone) {
        refuse(path, QT_TRANSLATE_NOOP("karuvo", "Cannot write \"%1\": %2; every output was left as it was"), {text});
    }
    refuse(path, QT_TRANSLATE_NOOP("karuvo", "Cannot write \"%1\": %2"), {text});
}

// One output on its way: the name given, the file that name writes, and the files
// made beside it. The c* names are those files' names as the system takes them, set
// while the signals that undo a write are blocked, so that the handler can read them.
struct Target {
    QString path;
    QString file;
    QString folder;
    FileKey key;
    bool remove = false;  // removed rather than written
    bool exists = false;
    mode_t mode = 0;
    uid_t owner = 0;
    std::string cFile;
    std::string cTemporary;  // the finished contents
    std::string cBackup;     // the old file, kept until every target is in place
    bool temporaryGone = false, backupGone = false;
    bool replaced = false;
};

mode_t newFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Fills in the file that `t.path` writes and refuses what cannot be replaced. A file
// to remove is the name itself, a symbolic link rather than what it leads to, and only
// a regular file or a link is removed.
void resolve(Target& t) {
    const QFileInfo info(t.path);
    t.file = info.absoluteFilePath();
    struct stat st {};
    if (t.remove) {
        if (::lstat(encoded(t.file).constData(), &st) != 0 || !(S_ISREG(st.st_mode) || S_ISLNK(st.st_mode))) return;
        t.exists = true;
        t.key = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino), {}};
        t.owner = st.st_uid;
        t.folder = info.absolutePath();
        return;
    }
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
        t.key = fileKey(t.file);
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
    t.key = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino), {}};
    t.mode = st.st_mode & 07777;
    t.owner = st.st_uid;
    t.folder = QFileInfo(t.file).absolutePath();
}

// The signals that undo a write under way: blocked on this thread for as long as the
// object lives, so that the handler never sees a write half recorded.
class SignalsHeld {
public:
    SignalsHeld() {
        sigset_t set;
        sigemptyset(&set);
        for (const int sig : kUndoSignals) sigaddset(&set, sig);
        ::pthread_sigmask(SIG_BLOCK, &set, &saved_);
    }
    ~SignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t saved_;
};

// A new file beside `name` in `folder` whose name no other file has, its name put in
// `made` as soon as it exists; its descriptor. Signals are held meanwhile.
int uniqueFile(const QString& folder, const QString& name, std::string& made) {
    const SignalsHeld held;
    QByteArray pattern = encoded(folder + "/." + name + ".XXXXXX");
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd >= 0) made = pattern.toStdString();
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
    const int fd = uniqueFile(t.folder, QFileInfo(t.file).fileName(), t.cTemporary);
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
    const SignalsHeld held;
    const QString name = QFileInfo(t.file).fileName();
    std::string placeholder;
    const int fd = uniqueFile(t.folder, name + ".old", placeholder);
    if (fd < 0) refuseFor(t.path, errno, t.folder);
    ::close(fd);
    ::unlink(placeholder.c_str());
    if (::link(t.cFile.c_str(), placeholder.c_str()) == 0) {
        t.cBackup = placeholder;
        return;
    }
    QFile old(t.file);
    if (!old.open(QIODevice::ReadOnly)) {
        refuse(t.path, QT_TRANSLATE_NOOP("karuvo", "Cannot write \"%1\": the file cannot be read to keep it until the "
                                                   "new one is in place (%2)"),
               {old.errorString().toStdString()});
    }
    const int copy = ::open(placeholder.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, t.mode);
    if (copy < 0) refuseFor(t.path, errno, t.folder);
    t.cBackup = placeholder;
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

// Gives every target already replaced (or removed) its old file back, and removes
// one that was new. Only system calls on names made beforehand: the signal handler
// calls it too.
void putBack(std::vector<Target>& targets) {
    for (Target& t : targets) {
        if (!t.replaced) continue;
        if (!t.exists) ::unlink(t.cFile.c_str());
        else if (::rename(t.cBackup.c_str(), t.cFile.c_str()) == 0) t.backupGone = true;
        t.replaced = false;
    }
}

// Removes the temporary and kept-aside files still there; safe in the handler as putBack.
void removeMade(std::vector<Target>& targets) {
    for (Target& t : targets) {
        if (!t.cTemporary.empty() && !t.temporaryGone) ::unlink(t.cTemporary.c_str());
        if (!t.cBackup.empty() && !t.backupGone) ::unlink(t.cBackup.c_str());
        t.temporaryGone = t.backupGone = true;
    }
}

// The write under way, for the signal handler: its targets and the thread doing it.
std::atomic<std::vector<Target>*> gWriting{nullptr};
std::atomic<pid_t> gWritingThread{0};
static_assert(std::atomic<std::vector<Target>*>::is_always_lock_free && std::atomic<pid_t>::is_always_lock_free);

// Folders made for a write: their names, outermost first, fixed before the first is
// made, and how many of them are made so far.
struct MadeFolders {
    std::vector<std::string> names;
    std::atomic<std::size_t> count{0};
};
// Those of the write under way: removed with it.
std::atomic<MadeFolders*> gMadeFolders{nullptr};

pid_t threadId() { return static_cast<pid_t>(::syscall(SYS_gettid)); }

// Removes the folders made for a write that is undone, innermost first, each only when
// it is empty again; safe in the signal handler.
void removeFolders(MadeFolders& folders) {
    for (std::size_t i = folders.count.load(); i-- > 0;) ::rmdir(folders.names[i].c_str());
    folders.count.store(0);
}

void onUndoSignal(int sig) {
    const int savedErrno = errno;
    const pid_t writer = gWritingThread.load();
    if (writer != 0 && writer != threadId()) {
        // The writing thread undoes its own write, once it is between two steps.
        ::syscall(SYS_tgkill, ::getpid(), writer, sig);
        errno = savedErrno;
        return;
    }
    if (std::vector<Target>* targets = gWriting.load()) {
        putBack(*targets);
        removeMade(*targets);
    }
    if (MadeFolders* folders = gMadeFolders.load()) removeFolders(*folders);
    ::signal(sig, SIG_DFL);
    ::raise(sig);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    errno = savedErrno;
}

// The write under way: published to the signal handler while it lives, and on its
// end, whichever way, the temporary and kept-aside files removed.
struct Commit {
    std::vector<Target>& targets;
    explicit Commit(std::vector<Target>& t) : targets(t) {
        const SignalsHeld held;
        gWriting.store(&targets);
        gWritingThread.store(threadId());
    }
    ~Commit() {
        const SignalsHeld held;
        removeMade(targets);
        gWriting.store(nullptr);
        gWritingThread.store(0);
    }
    Commit(const Commit&) = delete;
    Commit& operator=(const Commit&) = delete;
};

// Whether `name` is ".NAME.XXXXXX" or ".NAME.old.XXXXXX" (X: a letter or digit, as
// mkstemp makes them) for a NAME of `names`.
bool madeFor(const std::string& name, const std::unordered_set<std::string>& names) {
    constexpr std::size_t kRandom = 6;
    if (name.size() < 2 + 1 + kRandom || name[0] != '.' || name[name.size() - kRandom - 1] != '.') return false;
    for (std::size_t i = name.size() - kRandom; i < name.size(); ++i)
        if (!std::isalnum(static_cast<unsigned char>(name[i]))) return false;
    std::string base = name.substr(1, name.size() - kRandom - 2);
    if (names.count(base)) return true;
    return base.size() > 4 && base.ends_with(".old") && names.count(base.substr(0, base.size() - 4));
}

// The folders of a write, each locked for as long as the object lives, so that two runs
// writing into one folder take turns: a run waits while another writes there. The lock
// goes with the process, however it ends, so a temporary file found beside a target
// while the folder is held is one whose writer is gone. A folder that cannot be locked
// (one that cannot be read, a filesystem without locks) is written without.
class FolderLocks {
public:
    explicit FolderLocks(const std::vector<Target>& targets) {
        std::vector<std::pair<FileKey, std::string>> folders;
        for (const Target& t : targets) {
            const std::string folder = t.cFile.substr(0, t.cFile.rfind('/'));
            struct stat st {};
            if (::stat(folder.empty() ? "/" : folder.c_str(), &st) != 0) continue;
            folders.push_back({{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino), {}}, folder});
        }
        // One order for every run, so that two runs never wait for each other.
        std::sort(folders.begin(), folders.end(), [](const auto& a, const auto& b) {
            return std::tie(a.first.device, a.first.inode) < std::tie(b.first.device, b.first.inode);
        });
        for (std::size_t i = 0; i < folders.size(); ++i) {
            if (i > 0 && folders[i].first == folders[i - 1].first) continue;
            const std::string& folder = folders[i].second;
            const int fd = ::open(folder.empty() ? "/" : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (fd < 0) continue;
            int done;
            while ((done = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
            }
            if (done != 0) {
                ::close(fd);
                continue;
            }
            fds_.push_back(fd);
            held_.emplace(folder, fd);
        }
        // Other names of a folder held lead to its lock too.
        for (std::size_t i = 1; i < folders.size(); ++i)
            if (folders[i].first == folders[i - 1].first && held(folders[i - 1].second) >= 0)
                held_.emplace(folders[i].second, held(folders[i - 1].second));
    }
    ~FolderLocks() {
        for (const int fd : fds_) ::close(fd);
    }
    FolderLocks(const FolderLocks&) = delete;
    FolderLocks& operator=(const FolderLocks&) = delete;

    // The open folder, or -1 when it is not held.
    int held(const std::string& folder) const {
        const auto it = held_.find(folder);
        return it == held_.end() ? -1 : it->second;
    }

private:
    std::vector<int> fds_;
    std::unordered_map<std::string, int> held_;
};

// Removes the temporary and kept-aside files of the targets' names that an earlier
// run, killed before it could, left behind in the folders held: regular files only.
// Each folder is read once.
void removeLeftovers(const std::vector<Target>& targets, const FolderLocks& locks) {
    std::unordered_map<std::string, std::unordered_set<std::string>> namesIn;
    for (const Target& t : targets) {
        const std::size_t slash = t.cFile.rfind('/');
        namesIn[t.cFile.substr(0, slash)].insert(t.cFile.substr(slash + 1));
    }
    for (const auto& [folder, names] : namesIn) {
        const int held = locks.held(folder);
        if (held < 0) continue;
        DIR* dir = ::fdopendir(::dup(held));
        if (!dir) continue;
        ::rewinddir(dir);  // the copy reads from where the lock's own left off, perhaps for another name of the folder
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (!madeFor(name, names)) continue;
            struct stat st {};
            if (::fstatat(::dirfd(dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
                ::unlinkat(::dirfd(dir), name.c_str(), 0);
        }
        ::closedir(dir);
    }
}

}  // namespace

std::size_t FileKeyHash::operator()(const FileKey& k) const noexcept {
    return k.place.isEmpty() ? std::hash<std::uint64_t>()(k.device * 0x9E3779B97F4A7C15ull ^ k.inode) : qHash(k.place);
}

FileKey fileKey(const QString& path) {
    const QFileInfo info(path);
    struct stat st {};
    if (::stat(encoded(info.absoluteFilePath()).constData(), &st) == 0)
        return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino), {}};
    QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    if (folder.isEmpty()) folder = info.absolutePath();
    return {0, 0, QDir::cleanPath(folder + u'/' + info.fileName())};
}

bool sameFile(const QString& a, const QString& b) { return fileKey(a) == fileKey(b); }

void undoWritesOnSignals() {
    struct sigaction action {};
    action.sa_handler = onUndoSignal;
    sigemptyset(&action.sa_mask);
    for (const int sig : kUndoSignals) sigaddset(&action.sa_mask, sig);
    for (const int sig : kUndoSignals) {
        // A signal the program was started ignoring stays ignored.
        struct sigaction old {};
        if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        ::sigaction(sig, &action, nullptr);
    }
}

void writeFileAtomically(const QString& path, const QByteArray& bytes) {
    writeFilesAtomically({FileContents{path, bytes, {}}});
}

void writeFilesAtomically(const std::vector<FileContents>& given, const UnderLock& underLock) {
    std::vector<FileContents> more;
    const std::vector<FileContents>* files = &given;
    std::vector<Target> targets;
    std::unordered_map<FileKey, std::size_t, FileKeyHash> seen;
    seen.reserve(given.size());
    const auto addTargets = [&] {
        for (std::size_t i = targets.size(); i < files->size(); ++i) {
            Target& t = targets.emplace_back();
            t.path = (*files)[i].path;
            t.remove = (*files)[i].remove;
            resolve(t);
            t.cFile = encoded(t.file).toStdString();
            if (t.remove && !t.exists) continue;
            const auto [earlier, added] = seen.emplace(t.key, i);
            if (!added) {
                refuse(t.path, QT_TRANSLATE_NOOP("karuvo", "Cannot write \"%1\": it is the same file as "
                                                           "\"%2\"; give each output a name of its own"),
                       {targets[earlier->second].path.toStdString()});
            }
        }
    };
    addTargets();
    const FolderLocks locks(targets);
    if (underLock) {
        more = given;
        files = &more;
        underLock(more);
        addTargets();
    }
    removeLeftovers(targets, locks);
    const Commit commit(targets);
    for (std::size_t i = 0; i < files->size(); ++i) {
        Target& t = targets[i];
        if (t.remove && !t.exists) continue;
        checkReplaceable(t);
        if (!t.remove) writeTemporary(t, (*files)[i]);
        if (t.exists) keepOldFile(t);
    }
    const SignalsHeld held;
    for (Target& t : targets) {
        if (t.remove && !t.exists) continue;
        const bool done = t.remove ? ::unlink(t.cFile.c_str()) == 0 || errno == ENOENT
                                   : ::rename(t.cTemporary.c_str(), t.cFile.c_str()) == 0;
        if (!done) {
            const int err = errno;
            putBack(targets);
            refuseFor(t.path, err, t.folder, true);
        }
        t.temporaryGone = !t.remove;
        t.replaced = true;
    }
}

QStringList writeFilesMakingFolders(const std::vector<FileContents>& files, const UnderLock& underLock) {
    // The missing folders above every target, outermost first, each once.
    QStringList missing;
    for (const FileContents& f : files) {
        QStringList above;
        for (QFileInfo folder(QFileInfo(f.path).absolutePath()); !folder.exists() && !folder.isRoot();
             folder = QFileInfo(folder.absolutePath()))
            above.prepend(QDir::cleanPath(folder.absoluteFilePath()));
        for (const QString& folder : above)
            if (!missing.contains(folder)) missing << folder;
    }
    MadeFolders made;
    for (const QString& folder : missing) made.names.push_back(encoded(folder).toStdString());
    {
        const SignalsHeld held;
        gMadeFolders.store(&made);
    }
    const auto undo = [&] {
        const SignalsHeld held;
        removeFolders(made);
        gMadeFolders.store(nullptr);
    };
    for (const std::string& name : made.names) {
        int err = 0;
        {
            // Made and counted in one step, so that an undo finds every folder made.
            const SignalsHeld held;
            if (::mkdir(name.c_str(), 0777) == 0) made.count.fetch_add(1);
            else err = errno;
        }
        if (err == 0) continue;
        const QString folder = QFile::decodeName(name.c_str());
        undo();
        struct stat st {};
        if (err == EEXIST && ::stat(name.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
            refuse(folder, QT_TRANSLATE_NOOP("karuvo", "Cannot make the folder \"%1\": a file of that name is in "
                                                       "the way; give the outputs another folder"));
        }
        std::string text = std::strerror(err);
        if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
        refuse(folder, QT_TRANSLATE_NOOP("karuvo", "Cannot make the folder \"%1\": %2"), {text});
    }
    try {
        writeFilesAtomically(files, underLock);
    } catch (...) {
        undo();
        throw;
    }
    const SignalsHeld held;
    gMadeFolders.store(nullptr);
    return missing;
}

}  // namespace karuvo
