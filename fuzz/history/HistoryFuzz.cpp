// The history files as the history window reads them: the input is the content of
// "QuorvatelHistory.log", read, parsed and paired through the reader. An input with a form
// feed is written in two goes, the second appended after a first reading, as the monitor
// appends lines while the window follows the file: read on, it must give what it gives read
// afresh.

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"
#include "history/HistoryCsv.h"
#include "history/HistoryFilter.h"
#include "history/HistoryLineParser.h"
#include "history/HistoryReader.h"
#include "history/HistoryText.h"
#include "scan/HistoryLog.h"

namespace {

QString Dir() {
    static QTemporaryDir dir;
    return dir.path();
}

QString LivePath() {
    return QDir(Dir()).filePath(QString::fromLatin1(HistoryLog::kFileName));
}

void Write(const QByteArray& bytes, QIODevice::OpenMode mode) {
    QFile f(LivePath());
    QV_FUZZ_CHECK(f.open(QIODevice::WriteOnly | mode));
    QV_FUZZ_CHECK(f.write(bytes) == bytes.size());
}

// Everything the views would show of the sessions and the lines.
QByteArray Shown(const HistorySnapshot& snap) {
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    const int64_t now = HistoryTime::FromDate(QDate(2030, 1, 1));
    HistoryCsv::WriteSessions(out, snap, HistoryFilter::Sessions(snap, {}, now), now);
    HistoryCsv::WriteEvents(out, snap, HistoryFilter::Events(snap, {}));
    return out.data();
}

void CheckSnapshot(const HistorySnapshot& snap) {
    for (uint32_t r = 0; r < snap.SessionCount(); ++r) {
        const HistorySession& s = snap.Session(r);
        QV_FUZZ_CHECK(s.firstEvent <= s.lastEvent && s.lastEvent < snap.eventCount);
        if (s.StartKnown() && s.ended != SessionEnd::StillOn) QV_FUZZ_CHECK(s.end >= s.start);
        if (s.outage) QV_FUZZ_CHECK(s.failures >= 1);
    }
    for (uint32_t e = 0; e < snap.eventCount; ++e)
        QV_FUZZ_CHECK(snap.store->texts.Text(snap.Event(e).text).size() <=
                      qsizetype(HistoryLineParser::kMaxText));
}

// A recognised line's time is the text the monitor wrote where it writes it.
void CheckLines(const QByteArray& bytes) {
    HistoryLineParser parser;
    for (const QByteArray& line : bytes.split('\n')) {
        const ParsedHistoryLine p = parser.Parse(std::string_view(line.constData(), line.size()));
        bool ascii = true;
        for (const char c : line) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
        if (p.timed && ascii)
            QV_FUZZ_CHECK(HistoryTime::Text(p.time) == QString::fromLatin1(line.mid(59, 19)));
        if (p.tag != HistoryTag::Other) QV_FUZZ_CHECK(line.size() >= 6);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    CheckLines(bytes);
    const qsizetype split = bytes.indexOf('\f');

    HistoryReader following(Dir());
    Write(split < 0 ? bytes : bytes.left(split), QIODevice::Truncate);
    HistorySnapshot snap = following.Update();
    CheckSnapshot(snap);
    if (split < 0) return 0;
    Write(bytes.mid(split + 1), QIODevice::Append);
    snap = following.Update();
    CheckSnapshot(snap);
    QV_FUZZ_CHECK(snap.generation == 1);  // appended lines are no reason to read all again

    HistoryReader afresh(Dir());
    const HistorySnapshot whole = afresh.Update();
    QV_FUZZ_CHECK(Shown(snap) == Shown(whole));
    return 0;
}
