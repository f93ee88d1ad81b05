#pragma once

#include <QString>

namespace karuvo {

// What `path` names when it is there but is no regular file, followed through symbolic
// links: a marked text ("a folder", "a named pipe", "a socket", "a device") to put in
// a message as "it is %1, not a font file"; null for a regular file and for a path
// that cannot be looked at (a missing file), which the reader reports in its own words.
// Asked before an input is opened, so that nothing waits on a pipe or a device.
const char* specialFileKind(const QString& path);

}  // namespace karuvo
