#include "platform/FileSystem.h"

#include "platform/CodePage.h"
#include "platform/File.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

std::string Native(const std::wstring& path) {
    return WideToUtf8(path);
}

std::wstring TemporaryNameFor(const std::wstring& path) {
    static std::atomic<unsigned> counter{0};
    return path + L".tmp" + std::to_wstring(::getpid()) + L"_" + std::to_wstring(++counter);
}

} // namespace

bool PathExists(const std::wstring& path) {
    struct stat st;
    return !path.empty() && ::stat(Native(path).c_str(), &st) == 0;
}

bool FileExists(const std::wstring& path) {
    struct stat st;
    return !path.empty() && ::stat(Native(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FolderExists(const std::wstring& path) {
    struct stat st;
    return !path.empty() && ::stat(Native(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateFolder(const std::wstring& path) {
    if (path.empty())
        return false;
    if (::mkdir(Native(path).c_str(), 0755) == 0)
        return true;
    return errno == EEXIST && FolderExists(path);
}

bool DeleteFile(const std::wstring& path) {
    return ::unlink(Native(path).c_str()) == 0;
}

bool CopyFile(const std::wstring& from, const std::wstring& to, bool failIfExists) {
    if (failIfExists && PathExists(to))
        return false;
    std::string data;
    if (!ReadWholeFile(from, data))
        return false;
    return ReplaceFilesContent({FileContent{to, &data}});
}

bool ListFolder(const std::wstring& folder, std::vector<FolderEntry>& entries) {
    entries.clear();
    std::string native = Native(folder);
    DIR* dir = ::opendir(native.c_str());
    if (!dir)
        return false;
    while (struct dirent* entry = ::readdir(dir)) {
        FolderEntry item;
        item.name = Utf8ToWide(entry->d_name);
        struct stat st;
        std::string full = native + "/" + entry->d_name;
        item.isFolder = ::stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        entries.push_back(std::move(item));
    }
    ::closedir(dir);
    return true;
}

bool ReadWholeFile(const std::wstring& path, std::string& out) {
    out.clear();
    File file;
    if (!file.Open(path, File::kRead))
        return false;
    return file.ReadToEnd(out);
}

bool ReplaceFileContent(const std::wstring& path, const std::string& data) {
    return ReplaceFilesContent({FileContent{path, &data}});
}

bool ReplaceFilesContent(const std::vector<FileContent>& files, bool flush) {
    std::vector<std::wstring> temps;
    std::vector<File> handles(files.size());
    bool ok = true;
    for (size_t i = 0; i < files.size() && ok; ++i) {
        temps.push_back(TemporaryNameFor(files[i].path));
        ok = handles[i].Open(temps[i], File::kWrite | File::kCreate | File::kTruncate) &&
             handles[i].Write(*files[i].data);
    }
    // Flushing after all writes lets one journal commit carry every file's data.
    for (size_t i = 0; i < handles.size() && ok && flush; ++i)
        ok = handles[i].Flush();
    for (File& handle : handles)
        handle.Close();
    for (size_t i = 0; i < temps.size(); ++i) {
        if (ok && ::rename(Native(temps[i]).c_str(), Native(files[i].path).c_str()) == 0)
            continue;
        ok = false;
        ::unlink(Native(temps[i]).c_str());
    }
    return ok;
}

bool SyncFileSystem(const std::wstring& folder) {
    const int fd = ::open(Native(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::syncfs(fd) == 0;
    ::close(fd);
    return ok;
}

bool RenameFile(const std::wstring& from, const std::wstring& to) {
    return ::rename(Native(from).c_str(), Native(to).c_str()) == 0;
}

bool KeepCopy(const std::wstring& from, const std::wstring& to) {
    const std::wstring temp = TemporaryNameFor(to);
    if (::link(Native(from).c_str(), Native(temp).c_str()) == 0) {
        if (RenameFile(temp, to))
            return true;
        ::unlink(Native(temp).c_str());
        return false;
    }
    return CopyFile(from, to, false);
}

bool IsFolderWritable(const std::wstring& folder) {
    return ::access(Native(folder).c_str(), W_OK) == 0;
}

long long FileSize(const std::wstring& path) {
    struct stat st;
    if (::stat(Native(path).c_str(), &st) != 0)
        return -1;
    return st.st_size;
}

bool FileModifiedTime(const std::wstring& path, int64_t& seconds) {
    struct stat st;
    if (::stat(Native(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    seconds = static_cast<int64_t>(st.st_mtime);
    return true;
}

} // namespace platform
