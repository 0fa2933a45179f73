// The sound library's calls: initialisation on a device or the offline sink, music
// loading from a file or memory, start, play, stop and release. Every call is logged
// and sets the error code BASS_ErrorGetCode reports.
#include "sound_internal.h"

#include <win32_host.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>

namespace soundimpl {
namespace {

constexpr size_t largestModule = 64u << 20; // far above any tracker module

struct LibraryState {
    bool initialised = false;
    bool offlineSelected = false; // output for the next BASS_Init
    bool offlineInUse = false;    // output chosen by the current BASS_Init
    DWORD offlineRate = 44100;
    DWORD activeRate = 0; // the rate output runs at, 0 before BASS_Init
    bool failInit = false;
    int error = BASS_OK;
    std::vector<std::string> log;
};

LibraryState& state()
{
    static LibraryState s;
    return s;
}

bool fail(int error)
{
    state().error = error;
    return false;
}

bool succeed()
{
    state().error = BASS_OK;
    return true;
}

// The bytes of a module file from `offset`, `length` bytes of them (0: to the end).
bool readModuleFile(const char* windowsPath, DWORD offset, DWORD length, std::vector<uint8_t>& bytes)
{
    std::ifstream in(win32host::hostPath(windowsPath), std::ios::binary);
    if (!in)
        return fail(BASS_ERROR_FILEOPEN);
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size < 0 || static_cast<uint64_t>(offset) >= static_cast<uint64_t>(size))
        return fail(BASS_ERROR_FILEFORM);
    uint64_t available = static_cast<uint64_t>(size) - offset;
    uint64_t wanted = length ? std::min<uint64_t>(length, available) : available;
    if (wanted > largestModule)
        return fail(BASS_ERROR_MEM);
    bytes.resize(wanted);
    in.seekg(offset);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(wanted));
    return in.gcount() == static_cast<std::streamsize>(wanted) || fail(BASS_ERROR_FILEOPEN);
}

bool readModuleMemory(const void* data, DWORD offset, DWORD length, std::vector<uint8_t>& bytes)
{
    // A module in memory has no end to find, so its length must be given.
    if (!data || length == 0)
        return fail(BASS_ERROR_ILLPARAM);
    const auto* begin = static_cast<const uint8_t*>(data) + offset;
    bytes.assign(begin, begin + length);
    return true;
}

std::string loadLogEntry(BOOL mem, const void* file, DWORD length)
{
    if (mem)
        return "BASS_MusicLoad(memory," + std::to_string(length) + ")";
    return "BASS_MusicLoad(" + std::string(file ? static_cast<const char*>(file) : "") + ")";
}

} // namespace

void selectOffline(bool offline, DWORD rate)
{
    state().offlineSelected = offline;
    state().offlineRate = rate;
}

bool offlineActive()
{
    return state().initialised && state().offlineInUse;
}

DWORD activeRate()
{
    return state().activeRate;
}

void failNextInit(bool fail)
{
    state().failInit = fail;
}

std::vector<std::string>& callLog()
{
    return state().log;
}

void releaseAll()
{
    mixer().freeAll();
    mixer().setOutputRunning(false);
    closeDevice();
    state().initialised = false;
    state().offlineInUse = false;
    state().activeRate = 0;
}

void resetLibrary()
{
    releaseAll();
    state().log.clear();
    state().failInit = false;
    state().error = BASS_OK;
}

} // namespace soundimpl

using namespace soundimpl;

BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND)
{
    LibraryState& s = state();
    s.log.push_back("BASS_Init(" + std::to_string(device) + "," + std::to_string(freq) + "," +
                    std::to_string(flags) + ")");
    if (s.initialised)
        return fail(BASS_ERROR_ALREADY);
    if (s.failInit) {
        s.failInit = false;
        return fail(BASS_ERROR_DEVICE);
    }
    if (device < -1 || freq == 0)
        return fail(BASS_ERROR_ILLPARAM);
    if (!s.offlineSelected && !openDevice(device, freq))
        return fail(BASS_ERROR_DEVICE);
    s.initialised = true;
    s.offlineInUse = s.offlineSelected;
    s.activeRate = s.offlineSelected ? s.offlineRate : freq;
    return succeed();
}

HMUSIC BASS_MusicLoad(BOOL mem, void* file, DWORD offset, DWORD length, DWORD flags)
{
    state().log.push_back(loadLogEntry(mem, file, length));
    if (!state().initialised)
        return fail(BASS_ERROR_INIT);
    std::vector<uint8_t> bytes;
    bool read = mem ? readModuleMemory(file, offset, length, bytes)
                    : readModuleFile(static_cast<const char*>(file), offset, length, bytes);
    if (!read)
        return 0;
    HMUSIC music = mixer().load(bytes, flags);
    if (music == 0)
        return fail(BASS_ERROR_FILEFORM);
    succeed();
    return music;
}

BOOL BASS_Start(void)
{
    state().log.push_back("BASS_Start");
    if (!state().initialised)
        return fail(BASS_ERROR_INIT);
    mixer().setOutputRunning(true);
    pauseDevice(false);
    return succeed();
}

BOOL BASS_MusicPlay(HMUSIC handle)
{
    state().log.push_back("BASS_MusicPlay");
    if (!state().initialised)
        return fail(BASS_ERROR_INIT);
    return mixer().play(handle) ? succeed() : fail(BASS_ERROR_HANDLE);
}

// Stops the output and every music on it; a music must be played again afterwards.
BOOL BASS_Stop(void)
{
    state().log.push_back("BASS_Stop");
    if (!state().initialised)
        return fail(BASS_ERROR_INIT);
    pauseDevice(true);
    mixer().setOutputRunning(false);
    mixer().stopAll();
    return succeed();
}

void BASS_MusicFree(HMUSIC handle)
{
    state().log.push_back("BASS_MusicFree");
    if (mixer().free(handle))
        succeed();
    else
        fail(BASS_ERROR_HANDLE);
}

void BASS_Free(void)
{
    state().log.push_back("BASS_Free");
    if (!state().initialised) {
        fail(BASS_ERROR_INIT);
        return;
    }
    releaseAll();
    succeed();
}

int BASS_ErrorGetCode(void)
{
    return state().error;
}
