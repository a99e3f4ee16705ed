#pragma once

#include <string>
#include <string_view>

// Paths inside the program are narrow legacy-code-page strings or wide text; the file system
// takes UTF-8 bytes. Directory names never end in a separator.

// The directory of the running executable (legacy code page).
std::string GetModuleDir();

// Where "config.cfg" and "read_history.dat" live (legacy code page): VESKA_DATA_DIR when set;
// else the executable's directory when it is writable and not an installed "bin" directory;
// else $XDG_CONFIG_HOME/veska (by default ~/.config/veska), created when missing.
std::string GetDataDir();

// The book name of a path: what follows its last '/', or the whole path when it has none.
std::u16string BookNameOfPath(std::u16string_view path);

std::string FsPathFromWide(std::u16string_view path);
std::string FsPathFromAnsi(std::string_view path);
std::string AnsiPathFromFs(std::string_view fsPath);
