// Temporary: every call fails until the engine lands.
#include "bass.h"

#include <cstddef>

extern "C" {
DWORD BASS_GetVersion(void) { return 0x00010002; }
BOOL BASS_Init(int, DWORD, DWORD, void *, const void *) { return FALSE; }
BOOL BASS_Start(void) { return FALSE; }
BOOL BASS_Free(void) { return FALSE; }
BOOL BASS_SetVolume(DWORD) { return FALSE; }
DWORD BASS_GetDevice(void) { return DWORD(-1); }
const char *BASS_GetDeviceDescription(int) { return nullptr; }
int BASS_ErrorGetCode(void) { return BASS_ERROR_NOTAVAIL; }
HMUSIC BASS_MusicLoad(BOOL, const void *, QWORD, DWORD, DWORD, DWORD) { return 0; }
DWORD BASS_MusicGetLength(HMUSIC, BOOL) { return DWORD(-1); }
const char *BASS_MusicGetName(HMUSIC) { return nullptr; }
BOOL BASS_MusicFree(HMUSIC) { return FALSE; }
HSTREAM BASS_StreamCreateFile(BOOL, const void *, QWORD, QWORD, DWORD) { return 0; }
HSTREAM BASS_StreamCreateURL(const char *, DWORD, DWORD, DOWNLOADPROC *, void *) { return 0; }
const char *BASS_StreamGetTags(HSTREAM, DWORD) { return nullptr; }
QWORD BASS_StreamGetLength(HSTREAM) { return QWORD(-1); }
BOOL BASS_StreamFree(HSTREAM) { return FALSE; }
BOOL BASS_ChannelPlay(DWORD, BOOL) { return FALSE; }
BOOL BASS_ChannelPause(DWORD) { return FALSE; }
DWORD BASS_ChannelIsActive(DWORD) { return BASS_ACTIVE_STOPPED; }
QWORD BASS_ChannelGetPosition(DWORD) { return QWORD(-1); }
BOOL BASS_ChannelSetPosition(DWORD, QWORD) { return FALSE; }
float BASS_ChannelBytes2Seconds(DWORD, QWORD) { return -1; }
QWORD BASS_ChannelSeconds2Bytes(DWORD, float) { return QWORD(-1); }
BOOL BASS_ChannelSetAttributes(DWORD, int, int, int) { return FALSE; }
BOOL BASS_ChannelGetAttributes(DWORD, DWORD *, DWORD *, int *) { return FALSE; }
HSYNC BASS_ChannelSetSync(DWORD, DWORD, QWORD, SYNCPROC *, void *) { return 0; }
BOOL BASS_ChannelRemoveSync(DWORD, HSYNC) { return FALSE; }
HDSP BASS_ChannelSetDSP(DWORD, DSPPROC *, void *, int) { return 0; }
BOOL BASS_ChannelRemoveDSP(DWORD, HDSP) { return FALSE; }
HFX BASS_ChannelSetFX(DWORD, DWORD, int) { return 0; }
BOOL BASS_ChannelRemoveFX(DWORD, HFX) { return FALSE; }
BOOL BASS_FXSetParameters(HFX, const void *) { return FALSE; }
BOOL BASS_FXGetParameters(HFX, void *) { return FALSE; }
DWORD BASS_ChannelGetData(DWORD, void *, DWORD) { return DWORD(-1); }
BOOL BASS_RecordInit(int) { return FALSE; }
HRECORD BASS_RecordStart(DWORD, DWORD, DWORD, void *, void *) { return 0; }
BOOL BASS_RecordFree(void) { return FALSE; }
}
