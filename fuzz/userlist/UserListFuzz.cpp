// The users-listing report as the scanner reads it: the input is the content of
// "QusList.log", read through the reader's one entry point with the filters off and on. An
// input with a form feed is two reports in turn: the second, read on from the first as a scan
// cycle reads it, must give what it gives read afresh.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "FuzzCheck.h"
#include "scan/UserListReport.h"

namespace {

QString ReportPath() {
    static const QString path =
        QDir::tempPath() + QStringLiteral("/qv-fuzz-%1-%2")
                               .arg(QCoreApplication::applicationPid())
                               .arg(QLatin1String(UserListReport::kFileName));
    return path;
}

void RemoveReport() {
    QFile::remove(ReportPath());
}

const QString kOwnPid = QStringLiteral("3312");
constexpr int kToday = 20171101;

void WriteReport(const char* data, size_t size) {
    QFile file(ReportPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
    if (file.write(data, qint64(size)) != qint64(size)) std::abort();
}

void ReadWith(const UserListReport::Filters& filters) {
    CMapStrToLoginObj sessions;
    const UserListReport::Reading r =
        UserListReport::Read(ReportPath(), filters, kOwnPid, kToday, sessions);
    QV_FUZZ_CHECK(r.outcome != UserListReport::Outcome::OpenFailed);
    if (r.outcome == UserListReport::Outcome::CouldNotConnect) {
        QV_FUZZ_CHECK(sessions.IsEmpty());
        QV_FUZZ_CHECK(r.linesCounted == 0);
    }
    if (r.outcome == UserListReport::Outcome::NoSeparator) QV_FUZZ_CHECK(sessions.IsEmpty());
    QV_FUZZ_CHECK(sessions.GetCount() <= r.linesCounted);
    for (const auto& [key, rec] : sessions) {
        QV_FUZZ_CHECK(key == rec.Key());
        QV_FUZZ_CHECK(!rec.UserId.isEmpty() && !rec.Pid.isEmpty() && !rec.Machine.isEmpty() &&
                      !rec.DateTime.isEmpty());
        if (filters.ownSession) QV_FUZZ_CHECK(rec.Pid != kOwnPid);
        if (filters.staleUserids) QV_FUZZ_CHECK(rec.Status.isEmpty());
    }
}

bool SameSessions(const CMapStrToLoginObj& a, const CMapStrToLoginObj& b) {
    if (a.GetCount() != b.GetCount()) return false;
    for (const auto& [key, rec] : a) {
        const LoginRecord* other = b.Find(key);
        if (!other || !(static_cast<const LoginRecord&>(rec) == *other)) return false;
    }
    return true;
}

// `first`, then `second` read on from it with another own-session pid, against `second` read
// afresh.
void ReadOn(const QByteArray& first, const QByteArray& second,
            const UserListReport::Filters& filters) {
    CMapStrToLoginObj sessions;
    UserListReport::Recall recall;
    WriteReport(first.constData(), size_t(first.size()));
    UserListReport::Read(ReportPath(), filters, kOwnPid, kToday, sessions, &recall);
    WriteReport(second.constData(), size_t(second.size()));
    const QString nextPid = QStringLiteral("3313");
    const UserListReport::Reading on =
        UserListReport::Read(ReportPath(), filters, nextPid, kToday, sessions, &recall);
    CMapStrToLoginObj fresh;
    const UserListReport::Reading afresh =
        UserListReport::Read(ReportPath(), filters, nextPid, kToday, fresh);
    QV_FUZZ_CHECK(on.outcome == afresh.outcome && on.linesCounted == afresh.linesCounted &&
                  on.activeUsers == afresh.activeUsers &&
                  on.failingSource == afresh.failingSource);
    QV_FUZZ_CHECK(SameSessions(sessions, fresh));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The path first: exit handlers run in reverse order, so it outlives the removal.
    ReportPath();
    std::atexit(RemoveReport);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype feed = input.indexOf('\f');
    const QByteArray first = feed < 0 ? input : input.left(feed);
    const QByteArray second = feed < 0 ? input : input.mid(feed + 1);
    for (const UserListReport::Filters& filters :
         {UserListReport::Filters{false, false, false}, UserListReport::Filters{true, true, true}})
        ReadOn(first, second, filters);
    WriteReport(input.constData(), size);
    ReadWith({false, false, false});
    ReadWith({true, true, true});
    return 0;
}
