// The key=value file: line reading against a plain model of it, and what a save writes loading
// back as the same pairs.
#include "fuzz/fuzz_input.h"
#include "platform/text_line_reader.h"
#include "settings/config_file.h"

#include <algorithm>
#include <vector>

namespace {

// The whole text with CR LF turned into LF, cut after each LF and every maxPiece bytes.
std::vector<std::string> ModelPieces(std::string_view bytes, std::size_t maxPiece) {
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')) {
            text += bytes[i];
        }
    }
    std::vector<std::string> pieces;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t lf = text.find('\n', pos);
        std::size_t end = std::min(text.size(), pos + maxPiece);
        if (lf != std::string::npos && lf < end) {
            end = lf + 1;
        }
        pieces.push_back(text.substr(pos, end - pos));
        pos = end;
    }
    return pieces;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = fuzz::AsText(data, size);

    // Small buffers put line ends, CR LF pairs and cuts on every kind of boundary.
    const std::size_t bufferSize = size > 0 ? 2 + data[0] % 40 : 8192;
    TextLineReader reader(bufferSize);
    reader.SetText(bytes);
    std::vector<std::string> pieces;
    std::string piece;
    while (reader.Next(piece)) {
        pieces.push_back(piece);
    }
    fuzz::Require(pieces == ModelPieces(bytes, bufferSize - 1));
    fuzz::Require(reader.AtEnd() && !reader.Failed());

    const fuzz::InputFile input(data, size);
    CConfigFile loaded;
    fuzz::Require(loaded.Load(input.Path()) == 0);
    const std::string saved = fuzz::ScratchDir() + "/config.cfg";
    fuzz::Require(loaded.Save(saved) == 0);
    CConfigFile back;
    fuzz::Require(back.Load(saved) == 0);
    // CRs that end a value do not come back whole: the last one joins the LF written after it.
    const auto withoutTrailingCrs = [](std::map<std::string, std::string> values) {
        for (auto& [key, value] : values) {
            value.erase(value.find_last_not_of('\r') + 1);
        }
        return values;
    };
    fuzz::Require(withoutTrailingCrs(back.m_values) == withoutTrailingCrs(loaded.m_values));
    return 0;
}
