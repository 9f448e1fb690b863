#pragma once
// Files the tool writes are replaced whole or not at all.
//
// ReplaceFileWhole writes the new content to a temporary file in the target's
// own folder (so the rename stays on one file system), flushes it to the disk,
// renames it over the target and flushes the folder, so that after a failure
// or a crash the target holds either its old content or the new content, never
// a part. The temporary file is removed on every failure. A target that exists
// keeps its permission bits; a new one gets the process's default (0666 less
// the umask). Only a regular file (or a path where nothing exists yet) is ever
// replaced: a FIFO, a device or a folder at the path is refused, so a write
// never waits for a reader. A symbolic link is followed: the file it leads to
// is replaced, the link stays. Any thread may call these.

#include <string>
#include <string_view>

// Whether `path` could be replaced: nothing or a regular file there, and its
// folder writable. False with a message naming the path in `error`. Changes
// nothing on disk.
bool CanReplaceFile(const std::string& path, std::string& error);

// Replaces the file at `path` with `content`. False with a message naming the
// path in `error`; the file at `path` is then as it was.
bool ReplaceFileWhole(const std::string& path, std::string_view content, std::string& error);
