// Reading files through read-only mappings, with Windows paths and Windows errors.
#include "platform_support.h"

#include <cstring>

using namespace platformtest;

namespace {

class FileMapping : public HeadlessTest {
protected:
    ScratchDirectory scratch;
};

HANDLE openForReading(const char* path)
{
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

TEST_F(FileMapping, MapsAFileReachedThroughABackslashPathWhateverTheCase)
{
    const std::string bytes("a\0\xFF\n\r", 5);
    scratch.write("data/Logo.JPG", bytes);
    // The whole file through a view, closing everything in the order a reader does.
    HANDLE file = openForReading("DATA\\logo.jpg");
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD high = 99;
    const DWORD size = GetFileSize(file, &high);
    EXPECT_EQ(high, 0u);
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    EXPECT_NE(mapping, nullptr);
    const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(std::string(static_cast<const char*>(view), size), bytes);
    EXPECT_TRUE(UnmapViewOfFile(view));
    EXPECT_TRUE(CloseHandle(mapping));
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_EQ(win32host::hostPath("data\\missing.tga"), "data/missing.tga");
}

TEST_F(FileMapping, AViewOutlivesItsHandles)
{
    scratch.write("a.bin", "mapped bytes");
    HANDLE file = openForReading("a.bin");
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    EXPECT_TRUE(CloseHandle(file));
    const char* view = static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    EXPECT_TRUE(CloseHandle(mapping));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(std::memcmp(view, "mapped bytes", 12), 0);
    EXPECT_TRUE(UnmapViewOfFile(view));
}

TEST_F(FileMapping, MissingFilesFoldersAndEmptyFilesFailWithTheirErrors)
{
    EXPECT_EQ(openForReading("data\\pork.xm"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    scratch.write("data/other", "");
    EXPECT_EQ(openForReading("data\\pork.xm"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(openForReading(nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(openForReading("data"), INVALID_HANDLE_VALUE) << "a folder is not a file";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    scratch.write("empty.tga", "");
    HANDLE file = openForReading("empty.tga");
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileSize(file, nullptr), 0u);
    EXPECT_EQ(CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_INVALID));
    EXPECT_TRUE(CloseHandle(file));
}

TEST_F(FileMapping, BadHandlesAreRefusedWithoutHarm)
{
    scratch.write("a.bin", "abc");
    HANDLE file = openForReading("a.bin");
    HANDLE bogus = reinterpret_cast<HANDLE>(0x123450);
    for (HANDLE bad : {bogus, static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE}) {
        SetLastError(0);
        EXPECT_FALSE(CloseHandle(bad));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        EXPECT_EQ(GetFileSize(bad, nullptr), INVALID_FILE_SIZE);
        EXPECT_EQ(CreateFileMappingA(bad, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
        EXPECT_EQ(MapViewOfFile(bad, FILE_MAP_READ, 0, 0, 0), nullptr);
    }
    EXPECT_EQ(MapViewOfFile(file, FILE_MAP_READ, 0, 0, 0), nullptr) << "a file is not a mapping";
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    EXPECT_EQ(GetFileSize(mapping, nullptr), INVALID_FILE_SIZE) << "a mapping is not a file";
    EXPECT_TRUE(CloseHandle(mapping));
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_FALSE(CloseHandle(file)) << "a handle closes once";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    char local = 0;
    EXPECT_FALSE(UnmapViewOfFile(&local));
}

TEST_F(FileMapping, ViewsAreReadOnlyAndStayInsideTheMapping)
{
    std::string big(3 * 65536 + 100, 'q');
    big[65536] = 'X';
    scratch.write("big.bin", big);
    HANDLE file = openForReading("big.bin");
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);

    EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_READ, 0, 100, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MAPPED_ALIGNMENT));
    EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, big.size() + 1), nullptr);
    EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_READ, 0, 4 * 65536, 0), nullptr);

    const char* view = static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 65536, 10));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view[0], 'X');
    EXPECT_TRUE(UnmapViewOfFile(view));
    EXPECT_FALSE(UnmapViewOfFile(view)) << "a view unmaps once";
    CloseHandle(mapping);

    EXPECT_EQ(CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, static_cast<DWORD>(big.size() + 1), nullptr),
              nullptr)
        << "a read-only mapping cannot be larger than its file";
    EXPECT_EQ(CreateFileMappingA(file, nullptr, PAGE_READWRITE, 0, 0, nullptr), nullptr);
    CloseHandle(file);
}

TEST_F(FileMapping, CreationDispositionsFollowWindows)
{
    HANDLE created = CreateFileA("new.bin", GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(created, INVALID_HANDLE_VALUE);
    CloseHandle(created);
    EXPECT_EQ(CreateFileA("new.bin", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    HANDLE again = CreateFileA("new.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    CloseHandle(again);
    EXPECT_EQ(CreateFileA("new.bin", GENERIC_READ, 0, nullptr, 99, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}
