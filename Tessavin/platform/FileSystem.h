#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct FolderEntry {
    std::wstring name;
    bool isFolder = false;
};

bool PathExists(const std::wstring& path);
bool FileExists(const std::wstring& path); // a regular file
bool FolderExists(const std::wstring& path);
// Creates one folder; true when it exists afterwards.
bool CreateFolder(const std::wstring& path);
bool DeleteFile(const std::wstring& path);
// Copies a regular file. With failIfExists off an existing target is replaced; the target
// appears whole or not at all (copy to a temporary name, then rename).
bool CopyFile(const std::wstring& from, const std::wstring& to, bool failIfExists);
// The entries of a folder, "." and ".." included, as a directory search returns them.
bool ListFolder(const std::wstring& folder, std::vector<FolderEntry>& entries);
// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::wstring& path, std::string& out);
// Replaces a file's content atomically: write a temporary file beside it, flush, rename.
bool ReplaceFileContent(const std::wstring& path, const std::string& data);

struct FileContent {
    std::wstring path;
    const std::string* data;
};
// Replaces several files, each atomically: all temporary files are written (and, with
// flush, written through to the disk) first, then renamed in the given order. False (and
// nothing renamed) when any temporary file cannot be written; a failed rename stops there.
// Without flush a crash of the process still leaves every file old or new, never partial.
bool ReplaceFilesContent(const std::vector<FileContent>& files, bool flush = true);
// Writes everything the file system of the folder holds in memory through to the disk (one
// flush for many files replaced without one); false when it could not.
bool SyncFileSystem(const std::wstring& folder);
// -1 when the size cannot be read.
long long FileSize(const std::wstring& path);
// The last modification of a regular file, in seconds since 1970; false when it has none.
bool FileModifiedTime(const std::wstring& path, int64_t& seconds);
// Renames a file (replacing the target); false when it could not.
bool RenameFile(const std::wstring& from, const std::wstring& to);
// Makes `to` a copy of `from` as it is now, replacing `to` atomically: a hard link where
// the file system has them, else a copied file.
bool KeepCopy(const std::wstring& from, const std::wstring& to);
// True when files can be created in the folder (it exists and is not read-only).
bool IsFolderWritable(const std::wstring& folder);

} // namespace platform
