#pragma once

#include <QString>
#include <QStringList>

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

// Fills `scanMap` (emptied once the file is open) with the report's sessions. The file is
// read in chunks, never whole.
Reading Read(const QString& path, const Filters& filters, const QString& ownSessionPid,
             int todayNumber, CMapStrToLoginObj& scanMap);

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
