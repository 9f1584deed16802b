#pragma once

#include <QString>
#include <QStringList>

// A command line as messages show it and as the launcher splits it back into arguments
// (QProcess::splitCommand): every value is quoted such that it comes back exactly as given,
// blanks and quotes included. An empty value cannot travel on a command line.
namespace CommandLine {

// The value as is when it needs no quoting, otherwise in double quotes with each quote
// written as three.
QString QuoteArgument(const QString& value);

// The words joined by blanks, each quoted as needed.
QString Join(const QStringList& words);

}  // namespace CommandLine
