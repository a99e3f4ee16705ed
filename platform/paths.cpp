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

// Bytes a file name holds that no code page spells (see WidePathFromFs).
constexpr char16_t kKeptByteBase = 0xDC00;

bool IsKeptByte(std::u16string_view text, std::size_t i) {
    return text[i] >= kKeptByteBase + 0x80 && text[i] <= kKeptByteBase + 0xFF &&
           (i == 0 || text[i - 1] < 0xD800 || text[i - 1] > 0xDBFF);
}

bool IsUtf8(std::string_view bytes) {
    return EncodeUtf8(DecodeUtf8(bytes)) == bytes;
}

bool Exists(const std::string& fsPath) {
    struct stat info {};
    return !fsPath.empty() && ::stat(fsPath.c_str(), &info) == 0;
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

std::u16string WidePathFromFs(std::string_view fsPath) {
    std::u16string wide;
    std::size_t start = 0;
    while (start <= fsPath.size()) {
        std::size_t end = fsPath.find('/', start);
        if (end == std::string_view::npos) {
            end = fsPath.size();
        }
        const std::string_view name = fsPath.substr(start, end - start);
        if (IsUtf8(name)) {
            wide += DecodeUtf8(name);
        } else if (std::u16string legacy = DecodeLegacy(name); EncodeLegacy(legacy) == name) {
            wide += legacy;
        } else {
            for (const char c : name) {
                const auto b = static_cast<unsigned char>(c);
                wide.push_back(static_cast<char16_t>(b < 0x80 ? b : kKeptByteBase + b));
            }
        }
        if (end < fsPath.size()) {
            wide.push_back(u'/');
        }
        start = end + 1;
    }
    return wide;
}

std::string FsPathFromWide(std::u16string_view path) {
    std::string out;
    std::size_t run = 0; // start of the text not yet encoded
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (IsKeptByte(path, i)) {
            out += EncodeUtf8(path.substr(run, i - run));
            out.push_back(static_cast<char>(path[i] - kKeptByteBase));
            run = i + 1;
        }
    }
    return out + EncodeUtf8(path.substr(run));
}

std::string FsPathOfFile(std::u16string_view path) {
    const std::string utf8 = FsPathFromWide(path);
    if (Exists(utf8)) {
        return utf8;
    }
    std::string resolved;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(u'/', start);
        if (end == std::u16string_view::npos) {
            end = path.size();
        }
        const std::u16string_view name = path.substr(start, end - start);
        const std::string asUtf8 = resolved + FsPathFromWide(name);
        const std::string legacy = EncodeLegacy(name);
        if (Exists(asUtf8) || name.empty() || DecodeLegacy(legacy) != name) {
            resolved = asUtf8;
        } else if (Exists(resolved + legacy)) {
            resolved += legacy;
        } else {
            return utf8;
        }
        if (end < path.size()) {
            resolved.push_back('/');
        }
        start = end + 1;
    }
    return Exists(resolved) ? resolved : utf8;
}

std::string FsPathFromAnsi(std::string_view path) {
    return EncodeUtf8(DecodeLegacy(path));
}

std::string AnsiPathFromFs(std::string_view fsPath) {
    return EncodeLegacy(DecodeUtf8(fsPath));
}
