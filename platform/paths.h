#pragma once
#include <string>

namespace platform {
// Folder of the running executable, ending without a slash.
std::string ExecutableDir();
// $XDG_CONFIG_HOME/Corvane Games/Pemberly (default ~/.config/...); created on demand.
std::string ConfigDir();
// $XDG_DATA_HOME/Corvane Games/Pemberly (default ~/.local/share/...); created on demand.
std::string DataDir();
// Makes the folder and its parents; true when it exists afterwards.
bool MakeDirs(const std::string& path);
std::string JoinPath(const std::string& a, const std::string& b);
} // namespace platform
