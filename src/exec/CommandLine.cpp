#include "exec/CommandLine.h"

namespace CommandLine {

QString QuoteArgument(const QString& value) {
    const bool plain = !value.isEmpty() && !value.contains(QLatin1Char(' ')) &&
                       !value.contains(QLatin1Char('\t')) && !value.contains(QLatin1Char('\n')) &&
                       !value.contains(QLatin1Char('"'));
    if (plain) return value;
    QString quoted = value;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString Join(const QStringList& words) {
    QStringList quoted;
    quoted.reserve(words.size());
    for (const QString& w : words) quoted.append(QuoteArgument(w));
    return quoted.join(QLatin1Char(' '));
}

}  // namespace CommandLine
