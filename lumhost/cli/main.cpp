// lumhost: describe, render and play any .lum plug-in from real audio.
#include "lumhost/cli/command_line.h"

int main(int argc, char** argv) { return lumhost::runCommandLine(argc, argv); }
