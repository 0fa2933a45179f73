// The sound library's interface as the show calls it: initialise output for a window,
// load a tracker module from a file, start and stop playback, free everything.
#pragma once

#include <windows.h>

typedef DWORD HMUSIC;

#define BASS_OK 0
#define BASS_MUSIC_LOOP 4      // loop the module forever
#define BASS_MUSIC_NONINTER 0x10000   // mix samples without interpolation
#define BASS_MUSIC_SINCINTER 0x800000 // mix samples with sinc interpolation (else linear)
#define BASS_DEVICE_DEFAULT -1 // the default output device

// Error codes reported by BASS_ErrorGetCode.
#define BASS_ERROR_MEM 1
#define BASS_ERROR_FILEOPEN 2
#define BASS_ERROR_DRIVER 3
#define BASS_ERROR_HANDLE 5
#define BASS_ERROR_FORMAT 6
#define BASS_ERROR_INIT 8
#define BASS_ERROR_START 9
#define BASS_ERROR_ALREADY 14
#define BASS_ERROR_ILLPARAM 20
#define BASS_ERROR_DEVICE 23
#define BASS_ERROR_FILEFORM 41
#define BASS_ERROR_UNKNOWN -1

BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND win);
HMUSIC BASS_MusicLoad(BOOL mem, void* file, DWORD offset, DWORD length, DWORD flags);
BOOL BASS_Start(void);
BOOL BASS_MusicPlay(HMUSIC handle);
BOOL BASS_Stop(void);
void BASS_MusicFree(HMUSIC handle);
void BASS_Free(void);
int BASS_ErrorGetCode(void); // the error of the last call (BASS_OK when it succeeded)
