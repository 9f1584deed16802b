#include "history/HistoryLineParser.h"

#include <QString>
#include <algorithm>
#include <utility>

#include "scan/HistoryLog.h"

namespace {

// Where HistoryLog::SessionLine puts its fields.
constexpr std::size_t kTagLen = 6;
constexpr std::size_t kPidAt = 6;
constexpr std::size_t kUserAt = 17;
constexpr std::size_t kMachineAt = 38;
constexpr std::size_t kTimeAt = 59;
constexpr std::size_t kTimeEnd = kTimeAt + HistoryTime::kTextLength;
constexpr std::string_view kKeyPid = "PID=";
constexpr std::string_view kKeyName = " NAME=";
constexpr std::string_view kKeyMachine = " MN=";

bool Blank(char c) {
    return c == ' ' || c == '\t';
}

// A piece of `s` from `at` to `end`, without the blanks around it.
auto Trimmed(std::string_view s, std::size_t at, std::size_t end) {
    end = std::min(end, s.size());
    at = std::min(at, end);
    while (at < end && Blank(s[at])) ++at;
    while (end > at && Blank(s[end - 1])) --end;
    return std::pair{at, end - at};
}

HistoryTag TagOf(std::string_view s) {
    if (s.size() < kTagLen) return HistoryTag::Other;
    const std::string_view head = s.substr(0, kTagLen);
    if (head == HistoryLog::kAddTag) return HistoryTag::Add;
    if (head == HistoryLog::kDelTag) return HistoryTag::Del;
    if (head == HistoryLog::kRecTag) return HistoryTag::Rec;
    return HistoryTag::Other;
}

bool SessionLayout(std::string_view s) {
    return s.size() >= kTimeAt && s[kUserAt - 1] == ' ' && s[kMachineAt - 1] == ' ' &&
           s[kTimeAt - 1] == ' ';
}

}  // namespace

HistoryLineParser::Shape HistoryLineParser::ShapeOf(std::string_view s) {
    Shape shape;
    const auto piece = [&s](std::size_t at, std::size_t end) {
        const auto [from, len] = Trimmed(s, at, end);
        return Piece{from, len};
    };
    const HistoryTag tag = TagOf(s);
    if (tag == HistoryTag::Other) {
        shape.text = Piece{0, std::min(s.size(), kMaxText)};
        return shape;
    }
    shape.tag = tag;
    shape.timed = s.size() >= kTimeEnd && HistoryTime::Parse(s.substr(kTimeAt), shape.time);
    if (!shape.timed) shape.time = HistoryTime::kUnknown;
    const bool fields = SessionLayout(s);
    if (fields) {
        shape.pid = piece(kPidAt, kUserAt - 1);
        shape.user = piece(kUserAt, kMachineAt - 1);
        shape.machine = piece(kMachineAt, kTimeAt - 1);
        // An unreadable time stays in the text, where it can be seen.
        shape.text = piece(shape.timed ? kTimeEnd : kTimeAt, kTimeAt + kMaxText);
        return shape;
    }
    if (shape.timed) {
        const Piece head = piece(kTagLen, kTimeAt);
        const std::string_view h = s.substr(head.at, head.len);
        const std::size_t name = h.find(kKeyName);
        const std::size_t mn = h.find(kKeyMachine);
        if (h.starts_with(kKeyPid) && name != std::string_view::npos &&
            mn != std::string_view::npos && name < mn) {
            // "PID=Error NAME=Broker MN=Failed to Respond": the failure that an alert is about.
            shape.pid = Piece{head.at + kKeyPid.size(), name - kKeyPid.size()};
            shape.user = Piece{head.at + name + kKeyName.size(), mn - name - kKeyName.size()};
            shape.machine = piece(head.at + mn + kKeyMachine.size(), head.at + head.len);
            shape.text = piece(kTimeEnd, kTimeEnd + kMaxText);
        } else {
            shape.text = head;
            shape.text2 = piece(kTimeEnd, kTimeEnd + kMaxText);
        }
        return shape;
    }
    if (tag == HistoryTag::Rec) {
        // "REC : Execute ..." lines carry no time.
        shape.text = piece(kTagLen, kTagLen + kMaxText);
        return shape;
    }
    // An ADD or DEL line that lost its fields.
    shape.tag = HistoryTag::Other;
    shape.text = Piece{0, std::min(s.size(), kMaxText)};
    return shape;
}

ParsedHistoryLine HistoryLineParser::Parse(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    // Byte positions are character positions only while the fields are plain ASCII.
    const std::size_t fixed = std::min(line.size(), kTimeEnd);
    for (std::size_t i = 0; i < fixed; ++i)
        if (static_cast<unsigned char>(line[i]) >= 0x80) return ParseWide(line);

    const Shape shape = ShapeOf(line);
    ParsedHistoryLine out;
    out.tag = shape.tag;
    out.timed = shape.timed;
    out.time = shape.time;
    const auto view = [&line](Piece p) { return line.substr(p.at, p.len); };
    out.pid = view(shape.pid);
    out.user = view(shape.user);
    out.machine = view(shape.machine);
    if (shape.text2.len == 0) {
        out.text = view(shape.text);
    } else {
        m_text.assign(view(shape.text));
        if (!m_text.empty()) m_text.push_back(' ');
        m_text.append(view(shape.text2));
        out.text = m_text;
    }
    return out;
}

ParsedHistoryLine HistoryLineParser::ParseWide(std::string_view line) {
    // Laid out on a stand-in with one byte per UTF-16 unit, then cut from the real text.
    const QString wide =
        QString::fromUtf8(line.data(), qsizetype(std::min(line.size(), kMaxText * 2)));
    m_shape.resize(std::size_t(wide.size()));
    for (qsizetype i = 0; i < wide.size(); ++i) {
        const char16_t u = wide[i].unicode();
        m_shape[std::size_t(i)] = u < 0x80 ? char(u) : '\x01';
    }
    const Shape shape = ShapeOf(m_shape);
    const auto take = [&wide](Piece p, std::string& into) -> std::string_view {
        const QByteArray bytes = wide.mid(qsizetype(p.at), qsizetype(p.len)).toUtf8();
        into.assign(bytes.constData(), std::size_t(bytes.size()));
        return into;
    };
    ParsedHistoryLine out;
    out.tag = shape.tag;
    out.timed = shape.timed;
    out.time = shape.time;
    out.pid = take(shape.pid, m_pid);
    out.user = take(shape.user, m_user);
    out.machine = take(shape.machine, m_machine);
    if (shape.text2.len == 0) {
        out.text = take(shape.text, m_text);
    } else {
        std::string second;
        take(shape.text2, second);
        take(shape.text, m_text);
        if (!m_text.empty()) m_text.push_back(' ');
        m_text.append(second);
        out.text = m_text;
    }
    return out;
}
