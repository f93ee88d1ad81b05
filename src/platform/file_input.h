#pragma once

#include <QString>

namespace karuvo {

// What `path` names when it is there but is no regular file, followed through symbolic
// links: a marked text ("a folder", "a named pipe", "a socket", "a device") to put in
// a message as "it is %1, not a font file"; null for a regular file and for a path
// that cannot be looked at (a missing file), which the reader reports in its own words.
// Asked before an input is opened, so that nothing waits on a pipe or a device.
const char* specialFileKind(const QString& path);

// Opens `path` for reading without waiting on it, and gives its descriptor (closed on
// exec, reading blocking as usual) once the open file is seen to be a regular file;
// otherwise -1, with errno set (EINVAL for a file that is not regular). Whatever is put
// in the path's place between specialFileKind and this call is never waited on either.
int openRegularFile(const QString& path);

}  // namespace karuvo
