#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "scan/MapStrToLoginObj.h"

// Reading of the users-listing tool's report "QusList.log": markers, the count of users
// defined in the database, and one session per line after the separator.
namespace UserListReport {

inline constexpr const char* kFileName = "QusList.log";
inline constexpr const char* kCouldNotConnect = "COULD NOT CONNECT TO BROKER";
inline constexpr const char* kActiveUsersMarker = "NUMBER OF ACTIVE USERS DEFINED IN THE DATABASE:";
inline constexpr const char* kSeparator = "------------------";
inline constexpr const char* kSuccess = "QUSLIST HAS BEEN EXECUTED SUCCESSFULLY.";
// A line is read in pieces of at most this many characters.
inline constexpr int kLinePiece = 1023;
// A report is a regular file of at most this size: 100,000 sessions take about 8 MB, so
// anything larger comes from a fault, not from the Broker.
inline constexpr qint64 kMaxReportBytes = 64 * 1024 * 1024;

struct Filters {
    bool blankUserids = true;
    bool ownSession = true;
    bool staleUserids = false;
    bool operator==(const Filters&) const = default;
};

enum class Outcome {
    Read,             // read to the success line or to the end, separator seen
    NoSeparator,      // read to the end without a separator: the credentials were refused
    CouldNotConnect,  // the report says the Broker could not be reached
    OpenFailed,       // the tool left no report: none, not a regular file, or past the limit
    ReadError,
};

struct Reading {
    Outcome outcome = Outcome::Read;
    int linesCounted = 0;   // lines after the separator, the success line not counted
    QString activeUsers;    // from the active-users marker, trimmed; empty when absent
    QString failingSource;  // for CouldNotConnect: the text before the line's first ":"
};

// What a reading leaves for the next one into the same map: its session lines and what each
// gave. A line that repeats the last reading's line in the same place gives the same again
// without being read, which makes a report that hardly changed cost little more than a
// comparison of its bytes. Only the reader looks inside.
struct Recall {
    enum class Kind : quint8 {
        Other,    // no session, or one the filters leave out
        Session,  // `entry` holds what the line gave
        Own,      // the monitor's own session: its pid changes with every run
        Reread,   // to be read again: a record a later line of that reading changed
    };
    static constexpr quint16 kPidUnknown = 0xFFFF;  // the pid's place in the bytes not known
    struct Line {
        quint32 offset;
        quint16 size;
        quint16 pidStart;  // where the session's pid stands in the line
        quint16 pidSize;
        Kind kind;
        CMapStrToLoginObj::Entry* entry;
    };
    struct Lines {
        QByteArray bytes;  // the lines end to end, without line ends
        std::vector<Line> index;
    };
    Lines m_lines;
    bool m_valid = false;
    const CMapStrToLoginObj* m_map = nullptr;
    quint64 m_keys = 0;
    quint64 m_pass = 0;
    Filters m_filters;
    int m_today = 0;
};

// Fills `scanMap` (emptied once the file is open) with the report's sessions. The file is
// read in chunks, never whole. With a `recall`, records whose line repeats the last reading
// are taken as they are: the caller changes no record of the map meanwhile.
Reading Read(const QString& path, const Filters& filters, const QString& ownSessionPid,
             int todayNumber, CMapStrToLoginObj& scanMap, Recall* recall = nullptr);

// The pieces a 1024-byte line reader would return, without their line ends.
QStringList SplitPieces(const QByteArray& data);

// Split on blanks and tabs; runs count as one, empty pieces are dropped.
QStringList SplitTokens(const QString& text, const QString& delimiters);

// YYYYMMDD of a date-time text: split on blank, "/" and ":", joined, the first eight
// characters read as a decimal number (0 when they start without a digit).
int DayNumber(const QString& when);

// QString::toUpper with a quick path for plain ASCII text, which a report is almost all of:
// text that is upper case already comes back shared, without a copy.
QString UpperCase(const QString& text);

// Today as YYYYMMDD from a time stamp text (0 when it holds no "/").
int TodayNumberFrom(const QString& timestamp);

}  // namespace UserListReport
