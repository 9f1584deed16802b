#pragma once

#include <QString>

class QWidget;

// The file dialog, behind a seam so that tests answer it without a user.
class FileChooser {
public:
    virtual ~FileChooser() = default;
    // The path the user chose, or an empty text on Cancel. The dialog opens in `directory`
    // with `defaultName` proposed; `filter` is a Qt name filter ("CSV Files (*.csv)"). A name
    // that does not exist yet may be typed; with `overwritePrompt` an existing file is only
    // accepted after the user confirms replacing it.
    virtual QString ChooseOpenFile(QWidget* parent, const QString& title, const QString& directory,
                                   const QString& defaultName, const QString& filter,
                                   bool overwritePrompt) = 0;
};

// The real dialog: QFileDialog.
class DialogFileChooser : public FileChooser {
public:
    QString ChooseOpenFile(QWidget* parent, const QString& title, const QString& directory,
                           const QString& defaultName, const QString& filter,
                           bool overwritePrompt) override;
};
