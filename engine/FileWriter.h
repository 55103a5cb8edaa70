#pragma once

#include <string>

// Replaces a file so that whoever reads it, even after a crash or a power cut at any moment, finds
// either the whole old file or the whole new one: the new bytes go into a file beside the target,
// are flushed to the disk, and one rename puts them in place. A full disk, a write limit or any
// other error leaves the old file untouched and is reported, never hidden.
class FileWriter
{
  public:
    // What replace does when path is a symbolic link.
    enum class Links
    {
        // The link itself is replaced by a plain file: for files that also take part in a
        // FileTransaction, whose renames always land in the data folder itself.
        replace,
        // The file the link chain ends at is replaced, and the link stays (a player's settings
        // kept in a folder of their own). A dangling link gets its file created.
        follow,
    };

    // Writes contents to a new file beside path, flushes it, renames it over path and flushes the
    // folder. Only a plain file (or nothing) at path is replaced that way, and it keeps its
    // permission bits; a new file gets 0644. The file beside is never an existing one: in the
    // folder of path itself (no link followed) it is path + ".tmp", the game's own name, and a
    // plain file or link left there is removed first; beside a file reached through a link it is
    // the first free one of path + ".tmp", ".tmp1", ... so a file of the player's is never touched.
    // A character device, FIFO or socket at path is written where it is, without blocking, and
    // never created or renamed over (a link to a null device throws the bytes away). A folder, a
    // block device and a plain file without any write bit are left alone and reported.
    // False, with the reason in error ("<path>: <what failed>"), when any step failed; the old
    // file is then unchanged and the temporary file is gone.
    static bool replace(const std::string& path, const std::string& contents, std::string& error,
                        Links links = Links::replace);

    // The same without the rename: leaves the new bytes, flushed, at path itself (for a file that
    // is put in place later by a rename of its own). Only ever writes a plain file: a link, a
    // device, a FIFO or a socket at path is refused and left alone, and the open never blocks. The
    // file is removed again on failure.
    static bool writeFlushed(const std::string& path, const std::string& contents, std::string& error);

    // What kind of entry a file mode (st_mode) is, for messages: "a plain file", "a folder",
    // "a link", "a character device", "a block device", "a FIFO" or "a socket".
    static const char* kindOf(unsigned mode);

    // Flushes a folder's entries (renames, creations, removals in it) to the disk.
    static bool flushFolder(const std::string& folder, std::string& error);

    // The folder part of path, ending in '/', or "./" when path names no folder.
    static std::string folderOf(const std::string& path);
};
