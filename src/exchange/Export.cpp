#include "exchange/Export.h"

#include <QDir>
#include <QSaveFile>

#include "app/SettingsKeys.h"
#include "platform/FileChooser.h"
#include "platform/Prompter.h"
#include "platform/WaitCursor.h"

namespace {

const QLatin1String kExportedSuccessfully(" Exported Successfully.");

constexpr int kPidWidth = 6;
constexpr int kUserIdWidth = 15;
constexpr int kMachineWidth = 25;
constexpr int kDateTimeWidth = 20;

enum class Align { Left, Right };

// printf's "%-N.Ns" and "%N.Ns": cut to the first `width` characters, then pad with blanks.
// A cut never splits a character made of two UTF-16 units.
QString Fit(const QString& text, int width, Align align) {
    QString cut = text.left(width);
    if (cut.size() == width && cut.back().isHighSurrogate()) cut.chop(1);
    return align == Align::Left ? cut.leftJustified(width, QLatin1Char(' '))
                                : cut.rightJustified(width, QLatin1Char(' '));
}

QString WriteFailure(const QString& path, const QString& reason) {
    return QStringLiteral("Snapshot Export failed: could not write ") + path +
           QStringLiteral("\n(") + reason + QStringLiteral(").");
}

}  // namespace

CExport::CExport(const QList<ExportRow>& sessions, const QString& header,
                 const QString& defaultFileName, const Services& services)
    : m_sessions(sessions),
      m_header(header),
      m_defaultFileName(defaultFileName),
      m_services(services) {}

QString CExport::FormatLine(const ExportRow& row) {
    return Fit(row.pid, kPidWidth, Align::Left) + QLatin1Char(',') +
           Fit(row.userId, kUserIdWidth, Align::Left) + QLatin1Char(',') +
           Fit(row.machine, kMachineWidth, Align::Left) + QLatin1Char(',') +
           Fit(row.dateTime, kDateTimeWidth, Align::Right) + QLatin1Char(',') + row.email +
           QLatin1Char('\n');
}

QByteArray CExport::Render(const QString& header, const QList<ExportRow>& sessions) {
    QString text = header + QLatin1Char('\n');
    for (const ExportRow& row : sessions) text += FormatLine(row);
    return text.toUtf8();
}

QString CExport::CompletePath(const QString& chosen) {
    if (chosen.contains(QLatin1Char('.'))) return chosen;
    return chosen + QLatin1String(kExtension);
}

QString CExport::FolderOf(const QString& path) {
    const QString normal = QDir::fromNativeSeparators(path);
    const qsizetype slash = normal.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) return QString();
    // A file straight in the root keeps the root as its folder.
    return QDir::toNativeSeparators(slash == 0 ? QStringLiteral("/") : normal.left(slash));
}

bool CExport::Export() {
    // No session, no file: a header alone would pass for an empty Broker.
    if (m_sessions.isEmpty()) return false;
    QString directory = m_services.settings.Text(Setting::ExportDirectory);
    if (directory.isEmpty()) directory = m_services.startupDirectory;

    const QString chosen =
        m_services.chooser.ChooseOpenFile(m_services.parent, QString::fromLatin1(kTitle), directory,
                                          m_defaultFileName, QString::fromLatin1(kFilter), true);
    if (chosen.isEmpty()) return false;

    const QString path = CompletePath(chosen);
    const QString folder = FolderOf(path);
    if (!folder.isEmpty()) m_services.settings.SetText(Setting::ExportDirectory, folder);

    {
        WaitCursor wait;
        // The file appears only once it has been written completely; a failure leaves any
        // earlier file of that name untouched.
        QSaveFile file(path);
        const QByteArray content = Render(m_header, m_sessions);
        const bool written = file.open(QIODevice::WriteOnly | QIODevice::Text) &&
                             file.write(content) == content.size() && file.commit();
        if (!written) {
            const QString reason = file.errorString();
            file.cancelWriting();
            m_services.prompter.Warning(WriteFailure(path, reason));
            return false;
        }
    }
    m_services.prompter.Information(path + kExportedSuccessfully);
    return true;
}
