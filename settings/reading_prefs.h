#pragma once

#include <string>

// The reading preferences and the main window's placement, kept in "reading.cfg" beside
// "config.cfg" in the same key=value format. A missing file, a missing key or a value that is
// not a whole number in its range gives that preference's default.
struct ReadingPrefs {
    static constexpr int kMaxMargin = 400;
    static constexpr int kMaxLineChars = 400;
    static constexpr int kMinScrollSpeed = 1;
    static constexpr int kMaxScrollSpeed = 10;
    // Scroll speed at which automatic scrolling moves one pixel per tick.
    static constexpr int kDefaultScrollSpeed = 4;
    static constexpr int kMaxScript = 4;

    std::string font_face; // UTF-8, as fontconfig names families; empty: the reader's own face
    int margin_left = 4;   // pixels between the pane's frame and the text
    int margin_right = 4;
    int line_chars = 0; // widest line in full-width characters; 0: as wide as the pane
    int scroll_speed = kDefaultScrollSpeed;
    int night = 0; // 1: night colours in use
    // The text colours in use before night mode, given back by day mode; -1 when none.
    int day_font_color = -1;
    int day_back_color = -1;
    // The text colours night mode last had (a colour picked at night stays night's); -1: the
    // night colours built in.
    int night_font_color = -1;
    int night_back_color = -1;
    // The window's last normal (neither maximised nor full screen) place; width 0: never saved.
    int window_x = 0;
    int window_y = 0;
    int window_width = 0;
    int window_height = 0;
    int window_maximized = 0;
    // The script books are shown in unless one has its own choice: 0 as written, 1 Simplified,
    // 2 Traditional, 3 Taiwan's, 4 Hong Kong's.
    int script = 0;
    // Typesetting: paragraph indents made two ideographic spaces (1) or left as in the file (0);
    // blank lines kept (0), runs of them made one (1), or removed (2) with paragraph_spacing
    // pixels between paragraphs instead; lines justified (1) or ragged right (0).
    static constexpr int kMaxParagraphSpacing = 100;
    int indent = 1;
    int blank_lines = 1;
    int paragraph_spacing = 8;
    int justify = 1;

    bool operator==(const ReadingPrefs&) const = default;
};

// The path of "reading.cfg" in a directory (both in the legacy code page).
std::string ReadingPrefsPath(const std::string& configDir);
// Reads "reading.cfg" of the directory; every value it lacks or cannot use is the default.
// refusedErrno, when given, is set to why a file that is there was not read (too large, not a
// regular file, unreadable), or to 0.
ReadingPrefs LoadReadingPrefs(const std::string& configDir, int* refusedErrno = nullptr);
// Rewrites "reading.cfg" atomically with these values and every key of the old file this
// program does not know (a newer version's). false when it could not be written, or when the old
// file is there but could not be read (it is then left as it is).
bool SaveReadingPrefs(const ReadingPrefs& prefs, const std::string& configDir);
