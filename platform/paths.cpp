#include "platform/paths.h"

#include "platform/code_page.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// mkdir -p; existing directories are fine.
void MakeDirectories(const std::string& dir) {
    for (std::size_t pos = 1; pos <= dir.size(); ++pos) {
        if (pos == dir.size() || dir[pos] == '/') {
            mkdir(dir.substr(0, pos).c_str(), 0700);
        }
    }
}

std::string XdgConfigDir() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        return std::string(xdg) + "/veska";
    }
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.config/veska";
}

// An installed program runs from a "bin" directory (/usr/bin, /usr/local/bin, ~/.local/bin, any
// install prefix): its files belong to the user, not beside the binary, even when that directory
// is writable.
bool IsInstalledLayout(const std::string& moduleDir) {
    const std::string bin = "/bin";
    return moduleDir.size() >= bin.size() &&
           moduleDir.compare(moduleDir.size() - bin.size(), bin.size(), bin) == 0;
}

std::string StripTrailingSlashes(std::string dir) {
    while (dir.size() > 1 && dir.back() == '/') {
        dir.pop_back();
    }
    return dir;
}

} // namespace

std::string GetModuleDir() {
    char buffer[4096] = {};
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (n <= 0) {
        return AnsiPathFromFs(".");
    }
    return AnsiPathFromFs(DirectoryOf(std::string(buffer, static_cast<std::size_t>(n))));
}

std::string GetDataDir() {
    const char* chosen = std::getenv("VESKA_DATA_DIR");
    if (chosen != nullptr && *chosen != '\0') {
        return AnsiPathFromFs(StripTrailingSlashes(chosen));
    }
    const std::string moduleDir = FsPathFromAnsi(GetModuleDir());
    if (!IsInstalledLayout(moduleDir) && access(moduleDir.c_str(), W_OK) == 0) {
        return AnsiPathFromFs(moduleDir);
    }
    const std::string xdg = XdgConfigDir();
    MakeDirectories(xdg);
    return AnsiPathFromFs(xdg);
}

std::u16string BookNameOfPath(std::u16string_view path) {
    const auto slash = path.find_last_of(u'/');
    return std::u16string(slash == std::u16string_view::npos ? path : path.substr(slash + 1));
}

std::string FsPathFromWide(std::u16string_view path) {
    return EncodeUtf8(path);
}

std::string FsPathFromAnsi(std::string_view path) {
    return EncodeUtf8(DecodeLegacy(path));
}

std::string AnsiPathFromFs(std::string_view fsPath) {
    return EncodeLegacy(DecodeUtf8(fsPath));
}
