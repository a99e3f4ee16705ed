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

// File names are bytes. A path read from the file system or the command line becomes wide text
// name by name: UTF-8 when it is; else the legacy code page when that spells the name exactly (a
// GBK name from an old archive shows and records readably); else each byte of 0x80 and over
// becomes U+DC80..U+DCFF, which FsPathFromWide turns back into that byte.
std::u16string WidePathFromFs(std::string_view fsPath);
// The UTF-8 bytes of a path, kept bytes restored.
std::string FsPathFromWide(std::u16string_view path);
// The bytes that name an existing file: the UTF-8 spelling when it exists, else, name by name,
// the legacy code page's spelling where only that exists (how WidePathFromFs read it); the UTF-8
// spelling when neither does.
std::string FsPathOfFile(std::u16string_view path);
std::string FsPathFromAnsi(std::string_view path);
std::string AnsiPathFromFs(std::string_view fsPath);
