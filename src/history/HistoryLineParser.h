#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "history/HistoryStore.h"

// One history line taken apart. The views point into the line given or into the parser,
// and stay valid until the parser's next line.
struct ParsedHistoryLine {
    HistoryTag tag = HistoryTag::Other;
    bool timed = false;
    int64_t time = HistoryTime::kUnknown;
    std::string_view pid;
    std::string_view user;
    std::string_view machine;
    std::string_view text;  // the rest of the line; all of it when it was not recognised
};

// Reads the lines the monitor writes: a tag ("ADD : ", "DEL : ", "REC : "), then the PID cut
// to 10 characters, the user id and the machine cut to 20, each padded and followed by a
// blank, the time "YYYY/MM/DD HH:MM:SS" and what some lines add after it. Lines whose text
// before the time is not made of those fields (alerts, broadcasts) keep it as their text,
// and "REC" lines without a time are kept whole. Anything else is not recognised and kept as
// it is, at most kMaxText bytes of it. Widths count UTF-16 units, as the writer cut them.
class HistoryLineParser {
public:
    static constexpr std::size_t kMaxText = 4096;

    // `line` without its line end.
    ParsedHistoryLine Parse(std::string_view line);

private:
    struct Piece {
        std::size_t at = 0;
        std::size_t len = 0;
    };
    struct Shape {
        HistoryTag tag = HistoryTag::Other;
        bool timed = false;
        int64_t time = HistoryTime::kUnknown;
        Piece pid, user, machine, text, text2;
    };
    static Shape ShapeOf(std::string_view s);
    ParsedHistoryLine ParseWide(std::string_view line);

    std::string m_shape;
    std::string m_pid, m_user, m_machine, m_text;
};
