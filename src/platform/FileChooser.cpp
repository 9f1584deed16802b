#include "platform/FileChooser.h"

#include <QDir>
#include <QFileDialog>

QString DialogFileChooser::ChooseOpenFile(QWidget* parent, const QString& title,
                                          const QString& directory, const QString& defaultName,
                                          const QString& filter, bool overwritePrompt) {
    QFileDialog dialog(parent, title, directory, filter);
    // Any name may be typed, existing or not; only the save form asks before replacing a file,
    // so the overwrite prompt selects it.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(overwritePrompt ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (!defaultName.isEmpty()) dialog.selectFile(QDir(directory).filePath(defaultName));
    if (dialog.exec() != QDialog::Accepted) return QString();
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.first();
}
