#pragma once

#include "platform/code_page.h"

#include <string>

// A GB18030 novel of at least `bytes` bytes: paragraphs of Chinese prose of varying length, each
// indented with two ideographic spaces and ended with CR LF, so that every page is full of text.
inline std::string ChineseNovel(std::size_t bytes) {
    static const char16_t* const sentences[] = {
        u"山间的雾气慢慢散开，远处的城楼在晨光里显出轮廓。", u"茶馆里传出说书人的声音，",
        u"马车在石板路上缓缓前行，车轮碾过积水，溅起细碎的水花。", u"她把信纸折好放进袖中，",
        u"谁也没有注意到角落里那个一直低着头的少年。"};
    std::string out;
    for (int paragraph = 0; out.size() < bytes; ++paragraph) {
        std::u16string text = u"　　";
        for (int i = 0; i < 4 + paragraph % 5; ++i) {
            text += sentences[(paragraph + i) % 5];
        }
        out += EncodeLegacy(text + u"\r\n");
    }
    return out;
}
