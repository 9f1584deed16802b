#include "exchange/Import.h"

#include <QDir>
#include <QFile>
#include <QIODevice>
#include <QSet>

#include "app/SettingsKeys.h"
#include "controls/ReportCtrl.h"
#include "exchange/Export.h"
#include "platform/FileChooser.h"
#include "platform/Prompter.h"
#include "platform/RegularFile.h"
#include "platform/WaitCursor.h"

namespace {

constexpr int kAddressField = 4;

}  // namespace

bool ReadImportAddresses(QIODevice& device, QStringList& addresses) {
    bool header = true;
    while (!device.atEnd()) {
        QByteArray line = device.readLine();
        // Short of the end, a line holds at least its line feed: nothing means a read error.
        if (line.isEmpty()) return false;
        if (header) {
            header = false;
            continue;
        }
        if (line.endsWith('\n')) line.chop(1);
        // A file written on Windows keeps its carriage returns where text mode does not drop them.
        if (line.endsWith('\r')) line.chop(1);
        const QList<QByteArray> fields = line.split(',');
        if (fields.size() <= kAddressField || fields[kAddressField].isEmpty()) continue;
        addresses.append(QString::fromUtf8(fields[kAddressField]));
    }
    return true;
}

CImport::CImport(CReportCtrl& recipients, const Services& services)
    : m_recipients(recipients), m_services(services) {}

bool CImport::Import() {
    const QString directory = m_services.settings.TextOrFallback(Setting::ImportDirectory);
    const QString chosen = m_services.chooser.ChooseOpenFile(
        m_services.parent, QString::fromLatin1(kTitle), QDir::toNativeSeparators(directory),
        QString(), QString::fromLatin1(kFilter), false);
    if (chosen.isEmpty()) return true;

    WaitCursor wait;
    const QString folder = CExport::FolderOf(chosen);
    if (!folder.isEmpty()) m_services.settings.SetText(Setting::ImportDirectory, folder);
    return ReadFile(chosen);
}

bool CImport::ReadFile(const QString& path) {
    // Only a regular file, opened without waiting: a FIFO picked in the file dialog would
    // otherwise hold the program until something writes into it.
    QFile file;
    QString why;
    if (RegularFile::Open(path, file, kMaxFileBytes, &why) != RegularFile::Status::Ok) {
        m_services.prompter.Warning(QStringLiteral("Cannot open ") +
                                    QDir::toNativeSeparators(path) + QStringLiteral("\n(") + why +
                                    QStringLiteral(")."));
        return false;
    }
    QStringList addresses;
    const bool complete = ReadImportAddresses(file, addresses);
    AddAddresses(addresses);
    if (!complete) {
        m_services.prompter.Warning(QString::fromLatin1(kReadFailed));
        return false;
    }
    m_recipients.SortItems(0, true);
    return true;
}

void CImport::AddAddresses(const QStringList& addresses) {
    QSet<QString> known;
    for (int row = 0; row < m_recipients.GetItemCount(); ++row)
        known.insert(m_recipients.GetItemText(row, 0).toUpper());
    for (const QString& address : addresses) {
        const QString key = address.toUpper();
        if (known.contains(key)) continue;
        known.insert(key);
        const int row = m_recipients.InsertItem(m_recipients.GetItemCount(), address);
        m_recipients.SetCheck(row, true);
    }
}
