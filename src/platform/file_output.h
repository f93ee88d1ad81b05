#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <vector>

namespace karuvo {

// Takes the next piece of a file's contents; false when it could not be written.
using ByteSink = std::function<bool(const char* data, qsizetype size)>;

// A file to write: where, and its whole contents, or what produces them.
struct FileContents {
    QString path;
    QByteArray bytes;
    // When set, the contents instead: called once with a sink to put them through piece
    // by piece, so that a large file need not be held whole; gives false when the sink
    // did. It may throw Error, which fails the write like any other failure.
    std::function<bool(const ByteSink& put)> produce = nullptr;
    // When set, the file at `path` is removed instead, in the same step as the others
    // are written: kept aside until every other target is in place, and put back when
    // the step fails. A name of no file is passed over.
    bool remove = false;
};

// What tells files apart: the device and inode of an existing file (through symbolic
// and hard links), otherwise the name in the canonical form of its folder. Two names
// lead to one file exactly when their keys are equal; a key is worked out once, so a
// set of many names is checked in time linear in their number.
struct FileKey {
    std::uint64_t device = 0, inode = 0;  // both 0 for a name of no file
    QString place;                        // empty for an existing file
    bool operator==(const FileKey&) const = default;
};
struct FileKeyHash {
    std::size_t operator()(const FileKey& k) const noexcept;
};
FileKey fileKey(const QString& path);

// Whether two names lead to one file: the same file on disk when both exist (through
// symbolic links, hard links, "./a" and "a"), otherwise the same name in the same folder.
bool sameFile(const QString& a, const QString& b);

// From now on SIGINT, SIGTERM and SIGHUP, on whichever thread, end the program only once
// a write of writeFilesAtomically under way is undone: its temporary and kept-aside
// files removed and the targets already replaced given back their old files. The
// program then ends as the signal ends it by default, with its usual status.
void undoWritesOnSignals();

// Writes several files as one step. Every target must be a regular file (a symbolic
// link to one writes that file) or a new name in an existing folder; a folder, a
// device, a fifo or a socket is refused and left alone, and so are two entries that
// name one file. Every file goes to a temporary file in its target's folder; only when
// all of them are complete, and every existing target is kept aside, are they renamed
// over their targets. When a rename still fails, the targets already replaced get
// their old files back. A failure thus leaves every target as it was and no other file
// behind. Throws Error(Io) naming the file and why; a full disk, a filesystem without
// free inodes and a full quota are named as such, with the filesystem concerned.
// Each target's folder is locked meanwhile, so that a second write into it, from this
// program or another run, waits for this one to end; temporary and kept-aside files
// that an earlier run, killed outright, left beside a target (named as this function
// names them) are removed first, and only those, as a live writer holds the lock.
// `underLock`, when given, is called with a copy of `files` once the folders are held
// and before anything is written; it may add files in those folders (what to remove,
// where only what is there while no other run writes can tell).
using UnderLock = std::function<void(std::vector<FileContents>& files)>;
void writeFilesAtomically(const std::vector<FileContents>& files, const UnderLock& underLock = {});

// writeFilesAtomically, first making the folders above the targets that do not exist
// yet; gives the folders it made, outermost first. A failure, or a signal as above,
// removes them again (each one only while it is empty). Throws Error(Io) naming a folder
// that cannot be made, having made none.
QStringList writeFilesMakingFolders(const std::vector<FileContents>& files, const UnderLock& underLock = {});

// The same for one file.
void writeFileAtomically(const QString& path, const QByteArray& bytes);

}  // namespace karuvo
