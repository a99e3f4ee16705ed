#pragma once

// Helpers for tests that need real book files: a temporary directory, encoders that use iconv
// directly (not the code under test), and some ordinary Chinese prose.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iconv.h>
#include <iterator>
#include <stdexcept>
#include <string>

namespace test_books {

// Five paragraphs of plain modern Chinese, with a character outside the basic plane (𠮷) so
// that four-byte GB18030 sequences and UTF-16 surrogate pairs occur too.
inline const std::string kChineseProse =
    "清晨的小城还没有完全醒来，街角的早点铺已经冒出了白色的热气。老陈把蒸笼一层层摞好，"
    "抬头看了看灰蒙蒙的天色，说今天大概会下雨。隔壁卖菜的大婶笑着回答，下雨也好，"
    "地里的庄稼正等着喝水呢。\n"
    "林晓背着书包从巷子里跑出来，手里还攥着半个没吃完的馒头。她的母亲在窗口喊她慢一点，"
    "她只回头挥了挥手，就消失在拐角处。学校离家不远，走路十五分钟，可她总是踩着铃声进教室。\n"
    "那年夏天，镇上修了一条新路，从河边一直通到火车站。路修好以后，来往的人多了起来，"
    "小饭馆一家接一家地开张，连河边的老槐树下也摆上了几张桌子。晚上坐在那里乘凉的人，"
    "常常一聊就是大半夜，说的无非是收成、孩子和远方的亲戚。\n"
    "祖父喜欢在院子里种花。他说花和人一样，要有耐心，不能急。每到秋天，菊花开满了墙角，"
    "他就搬一把竹椅坐在旁边，泡一壶浓茶，一坐就是一个下午。吉字的异体𠮷写在他的旧账本上，"
    "谁也说不清它的来历。\n"
    "后来我离开了小城，去很远的地方读书、工作。每次回家，总觉得街道变窄了，房子变矮了，"
    "可早点铺的热气还是一样的白，老陈的嗓门还是一样的大。也许故乡就是这样，"
    "你走得越远，它就越清楚地留在心里。\n";

// Traditional Chinese prose, all of it in Big5 and EUC-TW.
inline const std::string kTraditionalProse =
    "那年夏天，鎮上修了一條新路，從河邊一直通到火車站。路修好以後，來往的人多了起來，"
    "小飯館一家接一家地開張，連河邊的老槐樹下也擺上了幾張桌子。晚上坐在那裡乘涼的人，"
    "常常一聊就是大半夜，說的無非是收成、孩子和遠方的親戚。\n"
    "祖父喜歡在院子裡種花。他說花和人一樣，要有耐心，不能急。每到秋天，菊花開滿了牆角，"
    "他就搬一把竹椅坐在旁邊，泡一壺濃茶，一坐就是一個下午。這些事情我後來才慢慢明白，"
    "當時只覺得他說話總是很慢，像是怕驚動了什麼。\n";

// Japanese prose in kanji, hiragana and katakana (Shift_JIS and EUC-JP).
inline const std::string kJapaneseProse =
    "朝の駅はいつも混んでいる。山田さんは毎日同じ電車に乗って、会社へ向かう。"
    "窓の外には古い町並みが続き、川沿いの桜が少しずつ咲き始めていた。"
    "昼休みには近くの喫茶店でコーヒーを飲みながら、新聞をゆっくり読むのが習慣だった。\n"
    "週末になると、彼は家族と一緒に公園へ出かける。子供たちはボールを追いかけ、"
    "妻はベンチに座って本を読んでいる。そんな穏やかな時間が、何よりも大切だと思っていた。\n";

// Korean prose in Hangul (EUC-KR and CP949).
inline const std::string kKoreanProse =
    "아침 시장은 언제나 사람들로 붐볐다. 할머니는 작은 가게에서 떡과 나물을 팔았고, "
    "손님들은 웃으며 인사를 건넸다. 비가 오는 날에도 가게 문은 항상 열려 있었다.\n"
    "우리 가족은 주말마다 산에 올라갔다. 아버지는 앞에서 길을 안내하셨고, 어머니는 "
    "도시락을 준비하셨다. 정상에 도착하면 모두 함께 점심을 먹으며 도시를 내려다보았다.\n";

// The text repeated until the UTF-8 text holds at least `bytes` bytes.
inline std::string Repeated(const std::string& prose, std::size_t bytes) {
    std::string text;
    while (text.size() < bytes) {
        text += prose;
    }
    return text;
}

inline std::string RepeatedProse(std::size_t bytes) {
    return Repeated(kChineseProse, bytes);
}

// Converts UTF-8 text to another encoding with iconv; throws when iconv refuses it.
inline std::string Encode(const std::string& utf8, const char* to) {
    iconv_t cd = iconv_open(to, "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        throw std::runtime_error(std::string("iconv cannot convert to ") + to);
    }
    std::string out(utf8.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    const std::size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (result == static_cast<std::size_t>(-1)) {
        throw std::runtime_error(std::string("text not representable in ") + to);
    }
    out.resize(out.size() - outLeft);
    return out;
}

inline std::u16string Wide(const std::string& utf8) {
    const std::string bytes = Encode(utf8, "UTF-16LE");
    std::u16string text(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                        (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    }
    return text;
}

// The same text with CR LF line ends, as files written on Windows have them.
inline std::string CrLf(const std::string& lf) {
    std::string crlf;
    for (char c : lf) {
        crlf += c == '\n' ? "\r\n" : std::string(1, c);
    }
    return crlf;
}

inline std::u16string WithoutLineBreaks(std::u16string text) {
    std::erase_if(text, [](char16_t c) { return c == u'\r' || c == u'\n'; });
    return text;
}

// A fresh directory under TMPDIR, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern =
            std::string(base != nullptr && *base ? base : "/tmp") + "/veska-test-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        m_path = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

    // Writes a file in the directory and returns its path.
    std::string Write(const std::string& name, const std::string& bytes) const {
        const std::string path = File(name);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            throw std::runtime_error("cannot write " + path);
        }
        return path;
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

} // namespace test_books
