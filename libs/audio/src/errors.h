// The calling thread's error state: the code every call sets, and the words of the C library
// (SDL, a decoder) behind a failure, kept for BASS_ErrorGetText.
#pragma once

#include <string>

namespace mirvane::audio {

// Sets the code of the call that is ending. The text stays only when setErrorText was called
// during that same call: a text always belongs to the last call of the thread.
void setError(int code);
int lastError();

// The words the failing C library gave (SDL_GetError, a decoder's message). Call before the
// failing call's setError.
void setErrorText(const std::string &text);
const char *errorText();

} // namespace mirvane::audio
