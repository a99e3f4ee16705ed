#pragma once

#include <string>
#include <string_view>
#include <sys/types.h>

// Replaces the file at fsPath (file-system encoding) with `contents`: the bytes go to a new file
// in the same directory, reach the disk, and only then take the old file's name. A crash at any
// moment leaves either the old file or the new one, whole. A symbolic link is followed, so the
// file it names is the one replaced; a file the caller may not write is refused, as is anything
// other than a regular file.
// Returns false with errno set when any step fails; the old file is then untouched and no
// temporary file is left behind.
bool ReplaceFileAtomically(const std::string& fsPath, std::string_view contents);

// The same replacement for contents written in pieces, so that a big file never has to be whole
// in memory: Write appends, Commit puts the file in place. Destroyed without a successful Commit,
// it removes its temporary file and leaves the old file as it was. After a failure every call
// returns false with the errno of that failure.
class CAtomicFileWriter {
public:
    explicit CAtomicFileWriter(const std::string& fsPath);
    ~CAtomicFileWriter();
    CAtomicFileWriter(const CAtomicFileWriter&) = delete;
    CAtomicFileWriter& operator=(const CAtomicFileWriter&) = delete;

    bool Write(std::string_view bytes);
    bool Commit();

private:
    bool Fail();
    void Discard();

    std::string m_target;
    std::string m_tmpPath;
    int m_fd = -1;
    int m_error = 0; // the first failure's errno; 0 while all is well
    bool m_exists = false;
    mode_t m_mode = 0;
};

// Removes from directory fsDir the temporary files that saves by ReplaceFileAtomically left
// behind when their process was killed: only files of its own naming, and only those whose
// owning process (told by its id and start time, both in the name) no longer runs. A save in
// progress in another process keeps its file. Returns how many files were removed.
int RemoveStaleTemporaryFiles(const std::string& fsDir);
