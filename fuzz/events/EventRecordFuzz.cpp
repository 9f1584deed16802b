// The event records: every line of the input parsed as one record, and the whole input as
// one, as the scanner does with the texts it composes from report fields.

#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"
#include "scan/EventRecord.h"

namespace {

const QString kNow = QStringLiteral("2017/11/01 14:05:09");

void Parse(const QString& text) {
    const EventRecord e = ParseEventRecord(text, kNow);
    // Each field is cut at 1023 characters; a date-time gains at most the blank.
    for (const QString* field : {&e.verb, &e.pid, &e.name, &e.machine, &e.status})
        QV_FUZZ_CHECK(field->size() <= 1023);
    QV_FUZZ_CHECK(e.datetime.size() <= 1024 || e.datetime == kNow);

    // A record composed from the parsed fields parses back to the same fields when none of
    // them holds a blank or a key.
    const auto plain = [](const QString& s) {
        return !s.isEmpty() && !s.contains(QLatin1Char(' ')) && !s.contains(QLatin1Char('=')) &&
               !s.contains(QLatin1Char(':')) && !s.contains(QLatin1Char('_'));
    };
    if (plain(e.pid) && plain(e.name) && plain(e.machine) && e.pid != QLatin1String("Error") &&
        e.pid != QLatin1String("0000")) {
        const EventRecord back =
            ParseEventRecord(EventText::Add(e.pid, e.name, e.machine,
                                            QStringLiteral("2017/11/01_14:05:09"), e.status),
                             kNow);
        QV_FUZZ_CHECK(back.verb == QLatin1String("ADD"));
        QV_FUZZ_CHECK(back.pid == e.pid && back.name == e.name && back.machine == e.machine);
        QV_FUZZ_CHECK(back.datetime == kNow);
    }
    (void)DateTimeFromField(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    Parse(text);
    const QStringList lines = text.split(QLatin1Char('\n'));
    if (lines.size() > 1)
        for (const QString& line : lines) Parse(line);
    return 0;
}
