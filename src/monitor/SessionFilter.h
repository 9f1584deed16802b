#pragma once

#include <QString>
#include <QStringList>

// The words typed into the filter box. A session matches when every word is found, without
// regard to case, somewhere in at least one of its pid, user id, machine or date-time.
class SessionFilter {
public:
    // Words are separated by blanks; an empty or blank text filters nothing.
    void SetText(const QString& text);
    bool IsEmpty() const { return m_words.isEmpty(); }
    const QStringList& Words() const { return m_words; }
    // The four cells of one entry, in matrix order.
    bool Matches(const QString* cells, int count) const;

private:
    QStringList m_words;
};
