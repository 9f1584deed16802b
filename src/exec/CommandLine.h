#pragma once

#include <QString>
#include <QStringList>

// Command lines are split back into arguments by the launcher (QProcess::splitCommand), so
// every value placed on one must be quoted such that it comes back exactly as given, blanks
// and quotes included. An empty value cannot travel on a command line; callers refuse
// empty values before they build one.
namespace CommandLine {

// The value as is when it needs no quoting, otherwise in double quotes with each quote
// written as three.
QString QuoteArgument(const QString& value);

// The words joined by blanks, each quoted as needed.
QString Join(const QStringList& words);

}  // namespace CommandLine
