#include "monitor/SessionFilter.h"

#include <QRegularExpression>

void SessionFilter::SetText(const QString& text) {
    static const QRegularExpression kBlanks(QStringLiteral("\\s+"));
    m_words = text.split(kBlanks, Qt::SkipEmptyParts);
}

bool SessionFilter::Matches(const QString* cells, int count) const {
    for (const QString& word : m_words) {
        bool found = false;
        for (int k = 0; k < count && !found; ++k)
            found = cells[k].contains(word, Qt::CaseInsensitive);
        if (!found) return false;
    }
    return true;
}
