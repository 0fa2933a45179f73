// Mapping a picture file read-only through the Win32 layer: readers work on the mapped bytes
// and the file is never copied as a whole.
#include "image.h"

MappedFile::~MappedFile()
{
    unmapImageFile(*this);
}

HRESULT mapImageFile(const char* path, MappedFile& mapped)
{
    unmapImageFile(mapped);
    if (path == nullptr)
        return D3DXERR_INVALIDDATA;

    mapped.file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_RANDOM_ACCESS, nullptr);
    if (mapped.file == INVALID_HANDLE_VALUE)
        return D3DXERR_INVALIDDATA;

    DWORD sizeHigh = 0;
    const DWORD size = GetFileSize(mapped.file, &sizeHigh);
    if (size == INVALID_FILE_SIZE || sizeHigh != 0 || size == 0) {
        unmapImageFile(mapped);
        return D3DXERR_INVALIDDATA;
    }

    mapped.mapping = CreateFileMappingA(mapped.file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (mapped.mapping == nullptr) {
        unmapImageFile(mapped);
        return D3DXERR_INVALIDDATA;
    }
    mapped.bytes = static_cast<const BYTE*>(MapViewOfFile(mapped.mapping, FILE_MAP_READ, 0, 0, 0));
    if (mapped.bytes == nullptr) {
        unmapImageFile(mapped);
        return D3DXERR_INVALIDDATA;
    }
    mapped.size = size;
    return S_OK;
}

void unmapImageFile(MappedFile& mapped)
{
    if (mapped.bytes != nullptr)
        UnmapViewOfFile(mapped.bytes);
    if (mapped.mapping != nullptr)
        CloseHandle(mapped.mapping);
    if (mapped.file != INVALID_HANDLE_VALUE && mapped.file != nullptr)
        CloseHandle(mapped.file);
    mapped.bytes = nullptr;
    mapped.mapping = nullptr;
    mapped.file = INVALID_HANDLE_VALUE;
    mapped.size = 0;
}
