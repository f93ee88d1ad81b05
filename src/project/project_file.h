#pragma once

// Project files: a sheet's settings and outputs as a UTF-8 JSON file (*.karuvo) that
// both front ends read and write.

#include <QByteArray>
#include <QString>
#include <cstdint>

#include "project/project.h"

namespace karuvo {

// The format version this program reads and writes, the value of the "karuvo" key.
inline constexpr int kProjectVersion = 1;

// The largest project file that is read.
inline constexpr std::int64_t kMaxProjectBytes = 64ll * 1024 * 1024;

// Reads the project file at `path`. Paths in it are taken relative to its folder and
// come back absolute ("-" for standard input as it is). Throws Error(Io) when the file
// cannot be read (missing, a folder, unreadable, larger than kMaxProjectBytes) and
// Error(Setting) when it is not a project this program reads: malformed JSON (with the
// line and column), a newer format version, an unknown key, a value of the wrong type
// or one a setting cannot take (each named by its path, "effect.radius"). Every
// message names the file.
Project readProject(const QString& path);

// The same for the contents of a project file at `path` (which need not exist).
Project parseProject(const QByteArray& contents, const QString& path);

// The contents of a project file at `path` holding `project`: its format and version
// first, then every setting. Paths are written relative to the file's folder when
// they lie in it or below it, absolute otherwise; settings left as their defaults
// (no font, the columns of the character source) are left out.
QByteArray projectFileContents(const Project& project, const QString& path);

// A list of code points as addCharList reads it and a project's "chars" holds it: runs
// of consecutive code points as ranges, the rest one by one ("U+0041-U+0043,U+005A").
QString charList(const CodePointSet& set);

}  // namespace karuvo
