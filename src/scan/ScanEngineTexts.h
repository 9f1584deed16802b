#pragma once

// What the files of ScanEngine share: the texts it compares and writes, and the date-time
// helper. Only they include it.
#include <QString>

#include "scan/HistoryLog.h"
#include "scan/LoginRecord.h"

namespace ScanEngineTexts {

inline const QString kRecTag = QString::fromLatin1(HistoryLog::kRecTag);
inline const QString kStale = QString::fromLatin1(kStaleStatus);
inline const QString kErrorText = QString::fromLatin1(kErrorPid);
inline const QString kPlaceholder = QString::fromLatin1(kPlaceholderPid);

// The first "_" of a stored date-time back to a blank.
inline QString Unstore(QString datetime) {
    const qsizetype us = datetime.indexOf(QLatin1Char('_'));
    if (us >= 0) datetime[us] = QLatin1Char(' ');
    return datetime;
}

}  // namespace ScanEngineTexts
