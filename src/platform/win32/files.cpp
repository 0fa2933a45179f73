// Files and read-only file mappings over POSIX descriptors and mmap. Kernel handles
// are numbers looked up in a table, so a closed, foreign or made-up handle is refused
// with ERROR_INVALID_HANDLE instead of being used.
#include "win32_internal.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <mutex>

namespace {

namespace fs = std::filesystem;

constexpr uint64_t allocationGranularity = 65536; // view offsets must be multiples of it

enum class Kind { File, Mapping };

struct KernelObject {
    Kind kind;
    int fd;
    bool writable;
    uint64_t size; // mappings only: the size fixed when the mapping was created
};

std::mutex tableMutex;
std::map<HANDLE, KernelObject> objects;
std::map<const void*, size_t> views;
uintptr_t nextHandleNumber = 1;

HANDLE addObject(const KernelObject& object)
{
    HANDLE handle = reinterpret_cast<HANDLE>(0x1000 + 4 * nextHandleNumber++);
    objects.emplace(handle, object);
    return handle;
}

const KernelObject* findObject(HANDLE handle, Kind kind)
{
    auto it = objects.find(handle);
    return it != objects.end() && it->second.kind == kind ? &it->second : nullptr;
}

bool parentExists(const std::string& path)
{
    fs::path parent = fs::path(path).parent_path();
    std::error_code ec;
    return parent.empty() || fs::is_directory(parent, ec);
}

DWORD errorForErrno(int err, const std::string& path)
{
    switch (err) {
    case ENOENT:
        return parentExists(path) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    case ENOTDIR:
    case ENAMETOOLONG:
        return ERROR_PATH_NOT_FOUND;
    case EEXIST:
        return ERROR_FILE_EXISTS;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_ACCESS_DENIED;
    }
}

// open(2) flags for a Windows creation disposition; -1 for an unknown one.
int creationFlags(DWORD creation)
{
    switch (creation) {
    case CREATE_NEW:
        return O_CREAT | O_EXCL;
    case CREATE_ALWAYS:
        return O_CREAT | O_TRUNC;
    case OPEN_EXISTING:
        return 0;
    case OPEN_ALWAYS:
        return O_CREAT;
    case TRUNCATE_EXISTING:
        return O_TRUNC;
    default:
        return -1;
    }
}

int accessFlags(DWORD access)
{
    bool read = access & GENERIC_READ, write = access & GENERIC_WRITE;
    return read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
}

bool fileExists(const std::string& path)
{
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0;
}

// Opens the file; on failure returns -1 with the Windows error in `error`.
int openFile(const std::string& path, DWORD access, DWORD creation, DWORD& error)
{
    int disposition = creationFlags(creation);
    if (disposition < 0 || (creation == TRUNCATE_EXISTING && !(access & GENERIC_WRITE))) {
        error = ERROR_INVALID_PARAMETER;
        return -1;
    }
    int fd = ::open(path.c_str(), accessFlags(access) | disposition | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = errorForErrno(errno, path);
        return -1;
    }
    struct stat st{};
    // Windows refuses to open a directory as a file.
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        error = ERROR_ACCESS_DENIED;
        return -1;
    }
    return fd;
}

int64_t currentFileSize(int fd)
{
    struct stat st{};
    return ::fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

// The directory entry of `dir` whose name equals `name` ignoring case, or "".
std::string caseInsensitiveEntry(const fs::path& dir, const std::string& name)
{
    std::error_code ec;
    for (fs::directory_iterator it(dir.empty() ? fs::path(".") : dir, ec), end; !ec && it != end;
         it.increment(ec)) {
        std::string entry = it->path().filename().string();
        if (strcasecmp(entry.c_str(), name.c_str()) == 0)
            return entry;
    }
    return {};
}

std::string matchCaseInsensitively(const std::string& path)
{
    fs::path result;
    bool matching = true;
    for (const fs::path& part : fs::path(path)) {
        std::string name = part.string();
        std::error_code ec;
        if (matching && !name.empty() && name != "/" && name != "." && name != ".." && !fs::exists(result / part, ec)) {
            std::string found = caseInsensitiveEntry(result, name);
            if (found.empty())
                matching = false; // the rest does not exist; keep its spelling
            else
                name = found;
        }
        result /= name;
    }
    return result.string();
}

} // namespace

std::string win32host::hostPath(const char* windowsPath)
{
    if (!windowsPath)
        return {};
    std::string path(windowsPath);
    for (char& c : path)
        if (c == '\\')
            c = '/';
    if (path.empty() || fileExists(path))
        return path;
    return matchCaseInsensitively(path);
}

HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD creation, DWORD,
                          HANDLE)
{
    if (!fileName || !*fileName) {
        SetLastError(fileName ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::string path = win32host::hostPath(fileName);
    bool existed = fileExists(path);
    DWORD error = ERROR_SUCCESS;
    int fd = openFile(path, access, creation, error);
    if (fd < 0) {
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    // Windows reports that an "always" disposition met an existing file.
    bool reportExisting = existed && (creation == CREATE_ALWAYS || creation == OPEN_ALWAYS);
    SetLastError(reportExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    std::lock_guard lock(tableMutex);
    return addObject({Kind::File, fd, (access & GENERIC_WRITE) != 0, 0});
}

namespace {

// Why a read-only mapping of `requested` bytes (0: the whole file) cannot be made, or
// ERROR_SUCCESS.
DWORD mappingError(const KernelObject* source, DWORD protect, uint64_t requested, int64_t fileSize)
{
    if (!source)
        return ERROR_INVALID_HANDLE;
    if (protect != PAGE_READONLY)
        return ERROR_INVALID_PARAMETER;
    if (fileSize <= 0 && requested == 0)
        return ERROR_FILE_INVALID; // an empty file cannot be mapped
    if (requested > static_cast<uint64_t>(fileSize))
        return ERROR_NOT_ENOUGH_MEMORY; // a read-only mapping cannot grow its file
    return ERROR_SUCCESS;
}

// Why a view of `length` bytes at `offset` cannot be made, or ERROR_SUCCESS.
DWORD viewError(const KernelObject* mapping, DWORD access, uint64_t offset, uint64_t length)
{
    if (!mapping)
        return ERROR_INVALID_HANDLE;
    if ((access & FILE_MAP_WRITE) || !(access & (FILE_MAP_READ | FILE_MAP_COPY)))
        return ERROR_ACCESS_DENIED;
    if (offset % allocationGranularity != 0)
        return ERROR_MAPPED_ALIGNMENT;
    if (offset >= mapping->size || length == 0 || length > mapping->size - offset)
        return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

uint64_t combine(DWORD high, DWORD low)
{
    return (static_cast<uint64_t>(high) << 32) | low;
}

} // namespace

// Only read-only mappings of whole files (or their first bytes) are supported, which
// is what reading a file through memory needs.
HANDLE WINAPI CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES, DWORD protect, DWORD maximumSizeHigh,
                                 DWORD maximumSizeLow, LPCSTR)
{
    std::lock_guard lock(tableMutex);
    const KernelObject* source = findObject(file, Kind::File);
    int64_t fileSize = source ? currentFileSize(source->fd) : 0;
    uint64_t requested = combine(maximumSizeHigh, maximumSizeLow);
    DWORD error = mappingError(source, protect, requested, fileSize);
    int fd = error == ERROR_SUCCESS ? ::fcntl(source->fd, F_DUPFD_CLOEXEC, 0) : -1;
    if (error == ERROR_SUCCESS && fd < 0)
        error = ERROR_TOO_MANY_OPEN_FILES;
    SetLastError(error);
    if (error != ERROR_SUCCESS)
        return nullptr;
    return addObject({Kind::Mapping, fd, false, requested ? requested : static_cast<uint64_t>(fileSize)});
}

LPVOID WINAPI MapViewOfFile(HANDLE mapping, DWORD desiredAccess, DWORD offsetHigh, DWORD offsetLow,
                            SIZE_T bytesToMap)
{
    std::lock_guard lock(tableMutex);
    const KernelObject* m = findObject(mapping, Kind::Mapping);
    uint64_t offset = combine(offsetHigh, offsetLow);
    uint64_t length = bytesToMap ? bytesToMap : (m && offset < m->size ? m->size - offset : 0);
    if (DWORD error = viewError(m, desiredAccess, offset, length)) {
        SetLastError(error);
        return nullptr;
    }
    bool copy = (desiredAccess & FILE_MAP_COPY) != 0;
    void* base = ::mmap(nullptr, length, copy ? PROT_READ | PROT_WRITE : PROT_READ, copy ? MAP_PRIVATE : MAP_SHARED,
                        m->fd, static_cast<off_t>(offset));
    if (base == MAP_FAILED) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    views.emplace(base, length);
    return base;
}

BOOL WINAPI UnmapViewOfFile(LPCVOID baseAddress)
{
    std::lock_guard lock(tableMutex);
    auto it = views.find(baseAddress);
    if (it == views.end()) {
        SetLastError(ERROR_INVALID_ADDRESS);
        return FALSE;
    }
    ::munmap(const_cast<void*>(it->first), it->second);
    views.erase(it);
    return TRUE;
}

DWORD WINAPI GetFileSize(HANDLE file, LPDWORD fileSizeHigh)
{
    std::lock_guard lock(tableMutex);
    const KernelObject* f = findObject(file, Kind::File);
    int64_t size = f ? currentFileSize(f->fd) : -1;
    if (size < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    if (fileSizeHigh)
        *fileSizeHigh = static_cast<DWORD>(static_cast<uint64_t>(size) >> 32);
    // A size whose low half is 0xFFFFFFFF is told from failure by the last error.
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size);
}

// Views stay valid after their mapping and file handles are closed, as on Windows:
// each mmap holds its own reference to the file.
BOOL WINAPI CloseHandle(HANDLE object)
{
    std::lock_guard lock(tableMutex);
    auto it = objects.find(object);
    if (it == objects.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    ::close(it->second.fd);
    objects.erase(it);
    return TRUE;
}
