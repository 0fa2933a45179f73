// The sound library's interface as the show calls it: initialise output for a window,
// load a tracker module from a file, start and stop playback, free everything.
#pragma once

#include <windows.h>

typedef DWORD HMUSIC;

#define BASS_OK 0
#define BASS_MUSIC_LOOP 4      // loop the module forever
#define BASS_DEVICE_DEFAULT -1 // the default output device

BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND win);
HMUSIC BASS_MusicLoad(BOOL mem, void* file, DWORD offset, DWORD length, DWORD flags);
BOOL BASS_Start(void);
BOOL BASS_MusicPlay(HMUSIC handle);
BOOL BASS_Stop(void);
void BASS_MusicFree(HMUSIC handle);
void BASS_Free(void);
