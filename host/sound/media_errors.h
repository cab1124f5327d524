// The media libraries' error codes as words, and their own log kept quiet:
// lumhost says what went wrong in one line of its own.
#pragma once

#include <string>

namespace lumhost {

std::string mediaErrorText(int error);

// Stops the libraries printing to stderr (idempotent).
void quietMediaLibraries();

}  // namespace lumhost
