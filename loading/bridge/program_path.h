// Where the programs the bridge needs are: on $PATH, and Wine's loaders.
#pragma once

#include <string>

namespace lumhost {

// The first executable file of the name on $PATH; empty if none.
std::string findProgram(const std::string& name);

// A Linux path as Wine sees it through its Z: drive ("/a/b" -> "Z:\a\b").
std::string windowsPath(const std::string& absolutePath);

}  // namespace lumhost
