#pragma once

#include <QByteArray>
#include <QString>
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
};

// Whether two names lead to one file: the same file on disk when both exist (through
// symbolic links, hard links, "./a" and "a"), otherwise the same name in the same folder.
bool sameFile(const QString& a, const QString& b);

// Writes several files as one step. Every target must be a regular file (a symbolic
// link to one writes that file) or a new name in an existing folder; a folder, a
// device, a fifo or a socket is refused and left alone, and so are two entries that
// name one file. Every file goes to a temporary file in its target's folder; only when
// all of them are complete, and every existing target is kept aside, are they renamed
// over their targets. When a rename still fails, the targets already replaced get
// their old files back. A failure thus leaves every target as it was and no other file
// behind. Throws Error(Io) naming the file and why; a full disk is named as such, with
// the filesystem on which to free space.
void writeFilesAtomically(const std::vector<FileContents>& files);

// The same for one file.
void writeFileAtomically(const QString& path, const QByteArray& bytes);

}  // namespace karuvo
