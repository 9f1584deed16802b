#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class AppSettings;
class FileChooser;
class Prompter;
class QWidget;

// One session of the login matrix as the snapshot file shows it.
struct ExportRow {
    QString pid;
    QString userId;
    QString machine;
    QString dateTime;
    QString email;
};

// Writes the login matrix to a CSV snapshot file the user chooses. Constructed for one
// export and thrown away afterwards.
class CExport {
public:
    static constexpr const char* kFilter = "CSV Files (*.csv)";
    static constexpr const char* kExtension = ".csv";
    static constexpr const char* kTitle = "Snapshot Export";

    // What the export needs from its surroundings.
    struct Services {
        AppSettings& settings;
        FileChooser& chooser;
        Prompter& prompter;
        QString startupDirectory;  // first folder when none is remembered yet
        QWidget* parent = nullptr;
    };

    // `header` is the first line of the file without its line end; `defaultFileName` is the
    // name the file dialog proposes.
    CExport(const QList<ExportRow>& sessions, const QString& header, const QString& defaultFileName,
            const Services& services);

    // Asks for the file and writes every session to it, in the order given. True when the
    // file was written; false on Cancel or when it could not be written (the user has then
    // been told why, and an existing file of that name is left as it was).
    bool Export();

    // The file's content: the header line and one line per session.
    static QByteArray Render(const QString& header, const QList<ExportRow>& sessions);
    // "%-6.6s,%-15.15s,%-25.25s,%20.20s,%s\n" of one session.
    static QString FormatLine(const ExportRow& row);
    // The chosen path with ".csv" appended when it holds no "." at all.
    static QString CompletePath(const QString& chosen);
    // The folder part of a path (before its last separator); empty when it has none.
    static QString FolderOf(const QString& path);

private:
    QList<ExportRow> m_sessions;
    QString m_header;
    QString m_defaultFileName;
    Services m_services;
};
