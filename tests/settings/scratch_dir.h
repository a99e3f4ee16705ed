#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

// A fresh directory under the system's temporary directory, removed with everything in it.
class ScratchDir {
public:
    ScratchDir() : m_path((std::filesystem::temp_directory_path() / "veska-XXXXXX").string()) {
        if (mkdtemp(m_path.data()) == nullptr) {
            throw std::runtime_error("cannot create a scratch directory");
        }
    }
    ~ScratchDir() { std::filesystem::remove_all(m_path); }

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }
    void Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(File(name), std::ios::binary) << bytes;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(File(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Directory entries, temporary files included.
    long Entries() const { return std::distance(std::filesystem::directory_iterator(m_path), {}); }

private:
    std::string m_path;
};

// The same text with CR LF line ends, as files written on Windows have them.
inline std::string WithCrLf(const std::string& lf) {
    std::string crlf;
    for (char c : lf) {
        crlf += c == '\n' ? "\r\n" : std::string(1, c);
    }
    return crlf;
}
