#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "platform/FileChooser.h"

// Answers the file dialog from a queue (Cancel when empty) and records every call.
class FakeFileChooser : public FileChooser {
public:
    struct Call {
        QWidget* parent;
        QString title;
        QString directory;
        QString defaultName;
        QString filter;
        bool overwritePrompt;
    };

    QString ChooseOpenFile(QWidget* parent, const QString& title, const QString& directory,
                           const QString& defaultName, const QString& filter,
                           bool overwritePrompt) override {
        calls.append({parent, title, directory, defaultName, filter, overwritePrompt});
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }

    QStringList answers;  // the next paths the "user" picks; an empty text is Cancel
    QList<Call> calls;
};
