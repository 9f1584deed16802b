#include "exchange/Import.h"

#include <QDir>
#include <QFile>
#include <QIODevice>
#include <QSet>
#include <QStringDecoder>

#include "app/SettingsKeys.h"
#include "controls/ReportCtrl.h"
#include "exchange/Export.h"
#include "platform/FileChooser.h"
#include "platform/Prompter.h"
#include "platform/RegularFile.h"
#include "platform/WaitCursor.h"

namespace {

constexpr int kAddressField = 4;

// Text has few control characters besides tab, line and page ends; a file where more than
// one byte in 32 is one is taken for binary.
bool LooksBinary(const QByteArray& data) {
    qsizetype controls = 0;
    for (const char c : data) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && u != '\t' && u != '\n' && u != '\r' && u != '\f') || u == 0x7F) ++controls;
    }
    return controls * 32 > data.size();
}

// UTF-8, or where the bytes are not, the locale's encoding; Latin-1 where that is UTF-8 too,
// so that no byte is lost.
QString Decode(QByteArrayView bytes) {
    for (const QStringConverter::Encoding encoding :
         {QStringConverter::Utf8, QStringConverter::System}) {
        QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
        const QString text = decoder(bytes);
        if (!decoder.hasError()) return text;
    }
    return QString::fromLatin1(bytes);
}

bool HoldsControl(const QString& text) {
    for (const QChar c : text)
        if (c.category() == QChar::Other_Control) return true;
    return false;
}

}  // namespace

ImportReading ReadImportAddresses(QIODevice& device, QStringList& addresses, qint64 maxBytes) {
    // Read to the end, whatever size the file claims: files under /proc say 0.
    QByteArray data;
    ImportReading reading = ImportReading::Complete;
    char chunk[64 * 1024];
    for (;;) {
        const qint64 got = device.read(chunk, sizeof chunk);
        if (got <= 0) {
            if (got < 0) reading = ImportReading::ReadError;
            break;
        }
        data.append(chunk, got);
        if (data.size() > maxBytes) {
            reading = ImportReading::ReadError;
            break;
        }
    }
    if (LooksBinary(data)) return ImportReading::NotText;
    QList<QByteArray> lines = data.split('\n');
    // A line cut short by a failed read is no line.
    if (reading != ImportReading::Complete || lines.last().isEmpty()) lines.removeLast();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        QByteArray& line = lines[i];
        // A file written on Windows keeps its carriage returns.
        if (line.endsWith('\r')) line.chop(1);
        const QList<QByteArray> fields = line.split(',');
        if (fields.size() <= kAddressField || fields[kAddressField].isEmpty()) continue;
        const QString address = Decode(fields[kAddressField]);
        // A NUL or another control character makes no address.
        if (!HoldsControl(address)) addresses.append(address);
    }
    return reading;
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
    const ImportReading reading = ReadImportAddresses(file, addresses, kMaxFileBytes);
    AddAddresses(addresses);
    if (reading != ImportReading::Complete) {
        m_services.prompter.Warning(QString::fromLatin1(kReadFailed));
        return false;
    }
    m_recipients.SortItems(0, true);
    return true;
}

void CImport::AddAddresses(const QStringList& addresses) {
    // Letter case is ignored letter by letter: upper-casing would make "straße" and
    // "STRASSE" one address.
    QSet<QString> known;
    for (int row = 0; row < m_recipients.GetItemCount(); ++row)
        known.insert(m_recipients.GetItemText(row, 0).toCaseFolded());
    for (const QString& address : addresses) {
        const QString key = address.toCaseFolded();
        if (known.contains(key)) continue;
        known.insert(key);
        const int row = m_recipients.InsertItem(m_recipients.GetItemCount(), address);
        m_recipients.SetCheck(row, true);
    }
}
