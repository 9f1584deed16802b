#pragma once

#include <QByteArray>
#include <QString>

class PrinterChooser;
class QDataStream;
class QPrinter;
class QWidget;

// The printer the user chose and its settings, kept for the session. Two blocks hold them:
// the device names (three 16-bit offsets, from the block's start, of the zero-terminated
// driver, device and port names that follow) and the device mode (the page and output
// settings). Either may be absent until the user has been through the set-up.
class CPrinterDef {
public:
    // The driver name of a printer that writes a PDF file; its port is the file's path.
    static constexpr const char* kPdfDriver = "PDF";
    static constexpr const char* kNativeDriver = "Native";
    static constexpr const char* kNoDevice = "< none >";

    bool HasDevNames() const { return !m_devNames.isEmpty(); }
    bool HasDevMode() const { return !m_devMode.isEmpty(); }
    const QByteArray& DevNames() const { return m_devNames; }
    const QByteArray& DevMode() const { return m_devMode; }

    // Empty without a device-names block, except the device name, which is "< none >".
    QString GetDriverName() const;
    QString GetDeviceName() const;
    QString GetPortName() const;

    // The printer set-up, pre-filled with the saved choice; on OK the choice replaces it.
    // False when cancelled.
    bool PrinterSetup(PrinterChooser& chooser, QWidget* parent);

    // Takes the printer's choice into the two blocks.
    void Capture(const QPrinter& printer);
    // Gives a printer the saved device and settings; those missing are left as they are.
    void Configure(QPrinter& printer) const;

    // Archive form: the device-names length (4 bytes) and bytes, then the device-mode length
    // and bytes. Reading replaces a block only when its stored length is not 0.
    void Serialize(QDataStream& out) const;
    void Deserialize(QDataStream& in);

    static QByteArray MakeDevNames(const QString& driver, const QString& device,
                                   const QString& port);

private:
    QString NameAt(int slot) const;

    QByteArray m_devNames;
    QByteArray m_devMode;
};
