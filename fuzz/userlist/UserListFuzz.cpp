// The users-listing report as the scanner reads it: the input is the content of
// "QusList.log", read through the reader's one entry point with the filters off and on.

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

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The path first: exit handlers run in reverse order, so it outlives the removal.
    ReportPath();
    std::atexit(RemoveReport);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    {
        QFile file(ReportPath());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
        if (file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
            std::abort();
    }
    ReadWith({false, false, false});
    ReadWith({true, true, true});
    return 0;
}
