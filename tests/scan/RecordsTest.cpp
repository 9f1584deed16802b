#include <gtest/gtest.h>

#include "scan/EntryIndex.h"
#include "scan/EventRecord.h"
#include "scan/MapStrToLoginObj.h"

#include <QRandomGenerator>
#include <map>

namespace {

const QString kNow = QStringLiteral("2017/11/02 08:00:00");

TEST(EventRecordTest, FailureEventsKeepTheirTextAndTakeTheCurrentTime) {
    const EventRecord e = ParseEventRecord(QString::fromLatin1(EventText::kFailedToRespond), kNow);
    EXPECT_EQ(e.verb, QStringLiteral("REC"));
    EXPECT_EQ(e.pid, QStringLiteral("Error"));
    EXPECT_EQ(e.name, QStringLiteral("Broker"));
    EXPECT_EQ(e.machine, QStringLiteral("Failed to Respond"));
    EXPECT_EQ(e.datetime, kNow);
    EXPECT_EQ(e.status, QString());

    // The removal of a failure entry carries an ST field; the failure text runs over it.
    const EventRecord del =
        ParseEventRecord(EventText::Del(QStringLiteral("Error"), QStringLiteral("Broker"),
                                        QStringLiteral("Failed to Respond"), QString()),
                         kNow);
    EXPECT_EQ(del.verb, QStringLiteral("DEL"));
    EXPECT_EQ(del.machine, QStringLiteral("Failed to Respond ST="));
}

TEST(EventRecordTest, PlaceholderAndSessionEvents) {
    const EventRecord p =
        ParseEventRecord(QStringLiteral("EXE=ADD PID=0000 MN=_ALL_LOGGING_5"), kNow);
    EXPECT_EQ(p.name, QStringLiteral("LOGGING"));
    EXPECT_EQ(p.machine, QStringLiteral("_ALL_LOGGING_5"));
    EXPECT_EQ(p.datetime, kNow);

    const EventRecord a = ParseEventRecord(
        EventText::Add(QStringLiteral("3312"), QStringLiteral("ALICE"), QStringLiteral("PC042"),
                       QStringLiteral("2017/11/01_14:05:09"), QStringLiteral("Stale")),
        kNow);
    EXPECT_EQ(a.verb, QStringLiteral("ADD"));
    EXPECT_EQ(a.pid, QStringLiteral("3312"));
    EXPECT_EQ(a.name, QStringLiteral("ALICE"));
    EXPECT_EQ(a.machine, QStringLiteral("PC042"));
    EXPECT_EQ(a.datetime, QStringLiteral("2017/11/01 14:05:09"));
    EXPECT_EQ(a.status, QStringLiteral("Stale"));

    // Without DT= a session event has no date-time; without EXE= no verb.
    const EventRecord d = ParseEventRecord(QStringLiteral("PID=1 NAME=B MN=C ST="), kNow);
    EXPECT_EQ(d.verb, QString());
    EXPECT_EQ(d.datetime, QString());
}

TEST(EventRecordTest, ExtractFieldLimitsAndAbsence) {
    QString out = QStringLiteral("old");
    EXPECT_FALSE(ExtractField(QStringLiteral("X="), QLatin1Char(' '), QStringLiteral("A=1"), out));
    EXPECT_EQ(out, QString());
    EXPECT_TRUE(ExtractField(QStringLiteral("A="), QLatin1Char(' '),
                             QStringLiteral("A=") + QString(5000, QLatin1Char('z')), out));
    EXPECT_EQ(out.size(), 1023);
}

// Hashes crowded round the end of the table, so that their runs wrap to its start, are set,
// moved and taken out at random; every hash left is found where it was last set.
TEST(EntryIndexTest, HashesTakenOutLeaveTheOthersReachable) {
    EntryIndex index;
    std::map<quint64, int> expected;
    QRandomGenerator random(7);
    for (int step = 0; step < 4000; ++step) {
        // Below 2^32, a hash's home slot is its low bits: slots 1016 to 1023 and 0 to 7 (as
        // long as the table has 1,024).
        const quint64 hash =
            (quint64(1 + random.bounded(40)) << 10) | ((1016 + random.bounded(16)) & 1023);
        const int what = static_cast<int>(random.bounded(3));
        if (what == 0) {
            index.Erase(hash);
            expected.erase(hash);
        } else {
            index.Set(hash, {step, what});
            expected[hash] = step;
        }
        if (step % 100 != 0) continue;
        for (quint64 k = 1; k <= 40; ++k)
            for (quint64 slot = 1016; slot < 1032; ++slot) {
                const quint64 h = (k << 10) | (slot & 1023);
                const EntryIndex::Position* p = index.Find(h);
                const auto it = expected.find(h);
                ASSERT_EQ(p != nullptr, it != expected.end()) << "step " << step;
                if (p) {
                    ASSERT_EQ(p->row, it->second) << "step " << step;
                }
            }
    }
}

TEST(MapStrToLoginObjTest, StoresCopiesAndReplacesByKey) {
    CMapStrToLoginObj map;
    LoginRecord r{QStringLiteral("3312"),
                  QStringLiteral("ALICE"),
                  QStringLiteral("PC042"),
                  QStringLiteral("2017/11/01_14:05:09"),
                  QStringLiteral("alice"),
                  {},
                  {}};
    EXPECT_EQ(r.Key(), QStringLiteral("PC042/3312"));
    map.SetAt(r.Key(), r);
    r.Email = QStringLiteral("alice@example.com");
    map.SetAt(r.Key(), r);
    EXPECT_EQ(map.GetCount(), 1);
    LoginRecord out;
    ASSERT_TRUE(map.Lookup(QStringLiteral("PC042/3312"), out));
    EXPECT_EQ(out.Email, QStringLiteral("alice@example.com"));
    EXPECT_TRUE(map.RemoveKey(QStringLiteral("PC042/3312")));
    EXPECT_FALSE(map.RemoveKey(QStringLiteral("PC042/3312")));
    EXPECT_FALSE(map.Lookup(QStringLiteral("PC042/3312"), out));
}

}  // namespace
