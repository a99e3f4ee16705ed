#include "settings/book_choice_store.h"

#include "platform/paths.h"
#include "settings/config_file.h"

CBookChoiceStore::CBookChoiceStore(std::string dataDir, const char* fileName)
    : m_filePath(std::move(dataDir) + "/" + fileName) {}

std::string CBookChoiceStore::KeyOf(std::u16string_view bookPath) {
    // The path's file-system bytes, with every byte that could end the key, end the line or
    // start a comment written as %XX.
    static const char kHex[] = "0123456789ABCDEF";
    std::string key;
    for (const char c : FsPathFromWide(bookPath)) {
        const auto b = static_cast<unsigned char>(c);
        if (b > 0x20 && b < 0x7F && b != '%' && b != '=' && b != '#') {
            key.push_back(c);
        } else {
            key += {'%', kHex[b >> 4], kHex[b & 0xF]};
        }
    }
    return key;
}

std::string CBookChoiceStore::Get(std::u16string_view bookPath) const {
    CConfigFile file;
    file.Load(m_filePath, CConfigFile::LongLines::kWhole);
    const auto found = file.m_values.find(KeyOf(bookPath));
    return found == file.m_values.end() ? std::string() : found->second;
}

bool CBookChoiceStore::Set(std::u16string_view bookPath, std::string_view choice) const {
    CConfigFile file;
    if (file.Load(m_filePath, CConfigFile::LongLines::kWhole) == -2) {
        return false; // the other books' choices were not read: they must not be written over
    }
    const std::string key = KeyOf(bookPath);
    if (choice.empty()) {
        file.m_values.erase(key);
    } else {
        file.m_values[key] = choice;
    }
    return file.Save(m_filePath) == 0;
}
