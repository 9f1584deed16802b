#pragma once

#include <QString>
#include <QStringList>

class AppSettings;
class CReportCtrl;
class FileChooser;
class Prompter;
class QIODevice;
class QWidget;

enum class ImportReading {
    Complete,
    ReadError,  // the device failed, or held more than was to be read
    NotText,    // binary data, not a snapshot: no address is taken
};

// The addresses of a snapshot file in file order: the fifth comma-separated field of every
// line after the first, when it is not empty and holds no control character. Lines are read
// whole, whatever their length; a field that is not UTF-8 is read in the locale's encoding,
// or as Latin-1. At most `maxBytes` are read; after a read error the addresses of the lines
// read until then are kept.
ImportReading ReadImportAddresses(QIODevice& device, QStringList& addresses, qint64 maxBytes);

// Fills a broadcast recipient list from a CSV snapshot file the user chooses: every address
// not in the list yet (letter case ignored) is added once, ticked, and the list is sorted.
// Constructed for one import and thrown away afterwards.
class CImport {
public:
    static constexpr const char* kFilter = "CSV Files (*.csv)";
    static constexpr const char* kTitle = "Import SS";
    static constexpr const char* kReadFailed = "Unable to Import csv file data";
    // A snapshot of 100,000 sessions takes about 8 MB.
    static constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;

    struct Services {
        AppSettings& settings;
        FileChooser& chooser;
        Prompter& prompter;
        QWidget* parent = nullptr;
    };

    CImport(CReportCtrl& recipients, const Services& services);

    // Asks for the file (starting in the folder of the last import) and reads it. False only
    // when a chosen file could not be read; Cancel is not a failure.
    bool Import();
    // Reads `path` into the list. False when it could not be opened or read to its end (the
    // user has been told); the rows added until then stay.
    bool ReadFile(const QString& path);

private:
    void AddAddresses(const QStringList& addresses);

    CReportCtrl& m_recipients;
    Services m_services;
};
