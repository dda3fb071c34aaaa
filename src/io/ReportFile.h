// Writing a whole file so that a reader never sees it half-written and a
// failure leaves an earlier file of that name as it was, while keeping what
// the user set on that earlier file.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "base/Outcome.h"
#include "base/Text.h"

// Takes the bytes of a file as they are produced.
using ByteSink = std::function<void(std::string_view bytes)>;

enum class WriteStatus {
  kWritten,
  kNotWritten,      // an earlier file of that name is left as it was
  kNotMade,         // not written, and there was no earlier file
  kLeftIncomplete,  // written in place, the write failed: the earlier file is cut
};

// Writes `fileName` with the bytes that `produce` hands to its sink (through
// one 4096-byte buffer). A symbolic link is followed: the file it names is
// written and the link stays. The bytes go to a temporary file in that
// file's folder, which takes the old file's permissions, owner and group
// (POSIX) or attributes (Windows), is made durable and is then moved over
// it. An old file with more than one hard link, or one in a folder that
// refuses new files (permissions, a read-only medium), is written in place
// instead, once every byte of it is in memory (so that memory running out
// cannot cut it); any other failure to make the temporary file fails the
// write. A read-only file or a folder is never written. No temporary file
// remains on any way out, also when `produce` throws (which passes on) or
// the run is interrupted while it is written (Platform::PrepareFileWrites;
// on Windows also when the process is ended any other way while the file
// is open). The reason of a failure is the system's.
Outcome<WriteStatus> WriteFileReplacing(const Text& fileName,
                                        const std::function<void(const ByteSink&)>& produce);

// Whether `name` (a file name without its folder) is the name of one of
// this process's temporary files (TemporaryName).
bool IsOwnTemporaryName(TextView name);

// The temporary file of the given attempt for `target`: in its folder, named
// "." + the process id in 8 hex digits + "-" + the attempt in 2 hex digits +
// ".tmp", so that it is as short as can be and the same length for any
// target.
Text TemporaryName(const Text& target, int attempt);

// Whether the file name `name` (no folder) is one TemporaryName makes, and
// then the process id it holds.
bool IsTemporaryName(TextView name, uint32_t& process);

// Deletes the temporary files that earlier runs of this program left in
// `folder` ("": the current folder) when they ended without a chance to:
// only names TemporaryName makes, last written more than an hour ago (a
// file being written is written to all the time, and a run of another
// machine sharing the folder has its own clock), of a process that no
// longer runs on this system. Returns the names deleted; one that cannot
// be deleted stays, unsaid.
std::vector<Text> RemoveLeftTemporaries(const Text& folder);
