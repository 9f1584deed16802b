#pragma once

#include <QString>

// Message boxes, behind a seam so that tests record what the user would have seen.
class Prompter {
public:
    virtual ~Prompter() = default;
    // Exclamation icon, brought to the foreground, a single OK button.
    virtual void Warning(const QString& text) = 0;
    // Information icon, brought to the foreground.
    virtual void Information(const QString& text) = 0;
    // A plain box without an icon.
    virtual void Plain(const QString& text) = 0;
    // A warning that does not wait for the user: the caller goes on at once. While a box
    // shown this way is still open, further notices add no second box. A prompter that
    // cannot show a box without waiting shows an ordinary warning.
    virtual void Notice(const QString& text) { Warning(text); }
};
