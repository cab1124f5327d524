// The media libraries never print: lumhost says what went wrong in one line
// of its own. Their last warning or error is kept, to explain a failure.
#pragma once

#include <string>

namespace lumhost {

// Routes the libraries' log into the kept message (idempotent) and forgets
// what was kept so far.
void quietMediaLibraries();

// The last warning or error the libraries gave since the last call; empty if none.
std::string takeMediaMessage();

// ALSA, under SDL's sound, says nothing either: its "cannot find card" lines
// on a machine without a sound device come before lumhost's own "no sound"
// line, which says what matters. Idempotent.
void quietSoundLibrary();

// An error code's meaning.
std::string mediaErrorText(int error);

// What the libraries said about a failure, or the code's meaning.
std::string mediaFailure(int error);

}  // namespace lumhost
