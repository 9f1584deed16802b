#pragma once

#include <QList>
#include <QString>

#include "platform/Prompter.h"

// Records every box the program would have shown, in order.
class RecordingPrompter : public Prompter {
public:
    enum class Kind { Warning, Information, Plain, Notice };
    struct Shown {
        Kind kind;
        QString text;
    };

    void Warning(const QString& text) override { shown.append({Kind::Warning, text}); }
    void Information(const QString& text) override { shown.append({Kind::Information, text}); }
    void Plain(const QString& text) override { shown.append({Kind::Plain, text}); }
    void Notice(const QString& text) override { shown.append({Kind::Notice, text}); }

    QStringList Texts() const {
        QStringList out;
        for (const Shown& s : shown) out.append(s.text);
        return out;
    }

    QList<Shown> shown;
};
