// Temporary start-up until the player window exists: `mirvane FILE` plays FILE from start to
// end on the default output device, printing its length, then exits.
#include "bass.h"

#include <condition_variable>
#include <cstdio>
#include <mutex>

namespace {

std::mutex endMutex;
std::condition_variable endCv;
bool ended = false;

// Runs on the audio library's sync thread.
void onEnd(HSYNC, DWORD, DWORD, void *) {
  std::lock_guard<std::mutex> lock(endMutex);
  ended = true;
  endCv.notify_all();
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  const char *file = argv[1];
  if (!BASS_Init(1, 44100, 0, nullptr, nullptr)) {
    std::fprintf(stderr, "Can't initialize digital sound system (error code: %d)\n",
                 BASS_ErrorGetCode());
    return 1;
  }
  std::printf("Output: %s\n", BASS_GetDeviceDescription(1));
  DWORD channel = BASS_MusicLoad(FALSE, file, 0, 0, BASS_MUSIC_RAMP, 0);
  const bool music = channel != 0;
  if (!music)
    channel = BASS_StreamCreateFile(FALSE, file, 0, 0, BASS_STREAM_PRESCAN);
  if (!channel) {
    std::fprintf(stderr, "%s: cannot play this file (error code: %d)\n", file,
                 BASS_ErrorGetCode());
    BASS_Free();
    return 1;
  }
  const float seconds = BASS_ChannelBytes2Seconds(channel, BASS_StreamGetLength(channel));
  const int whole = int(seconds);
  if (music)
    std::printf("%s: \"%s\", %u orders, length %d:%02d (%.2f s)\n", file,
                BASS_MusicGetName(channel), BASS_MusicGetLength(channel, FALSE), whole / 60,
                whole % 60, double(seconds));
  else
    std::printf("%s: length %d:%02d (%.2f s)\n", file, whole / 60, whole % 60, double(seconds));
  std::fflush(stdout);
  BASS_ChannelSetSync(channel, BASS_SYNC_END, 0, onEnd, nullptr);
  BASS_ChannelPlay(channel, TRUE);
  {
    std::unique_lock<std::mutex> lock(endMutex);
    endCv.wait(lock, [] { return ended; });
  }
  BASS_Free();
  return 0;
}
