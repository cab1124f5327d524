// The command line: lumhost info | render | play, parsed with CLI11.
#pragma once

namespace lumhost {

// Parses the arguments and runs the command; the process's exit status.
int runCommandLine(int argc, char** argv);

}  // namespace lumhost
