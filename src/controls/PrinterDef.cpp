#include "controls/PrinterDef.h"

#include <QDataStream>
#include <QIODevice>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QtEndian>

#include "platform/PrinterChooser.h"

namespace {

constexpr int kOffsetCount = 3;
constexpr quint8 kDevModeVersion = 1;
constexpr int kMaxNameBytes = 16000;

}  // namespace

QByteArray CPrinterDef::MakeDevNames(const QString& driver, const QString& device,
                                     const QString& port) {
    QByteArray names;
    quint16 offsets[kOffsetCount];
    int i = 0;
    for (const QString& name : {driver, device, port}) {
        offsets[i++] = quint16(kOffsetCount * 2 + names.size());
        // The offsets are 16-bit, so each name is kept within a share of their range.
        names += name.toUtf8().left(kMaxNameBytes);
        names += '\0';
    }
    QByteArray block(kOffsetCount * 2, '\0');
    for (int k = 0; k < kOffsetCount; ++k) qToLittleEndian(offsets[k], block.data() + 2 * k);
    return block + names;
}

QString CPrinterDef::NameAt(int slot) const {
    if (m_devNames.size() < kOffsetCount * 2) return QString();
    const int at = qFromLittleEndian<quint16>(m_devNames.constData() + 2 * slot);
    if (at >= m_devNames.size()) return QString();
    const int end = m_devNames.indexOf('\0', at);
    return QString::fromUtf8(m_devNames.mid(at, end < 0 ? -1 : end - at));
}

QString CPrinterDef::GetDriverName() const {
    return NameAt(0);
}

QString CPrinterDef::GetDeviceName() const {
    return HasDevNames() ? NameAt(1) : QString::fromLatin1(kNoDevice);
}

QString CPrinterDef::GetPortName() const {
    return NameAt(2);
}

bool CPrinterDef::PrinterSetup(PrinterChooser& chooser, QWidget* parent) {
    QPrinter printer(QPrinter::HighResolution);
    Configure(printer);
    if (!chooser.ChoosePrinter(parent, printer)) return false;
    Capture(printer);
    return true;
}

void CPrinterDef::Capture(const QPrinter& printer) {
    const bool pdf = printer.outputFormat() == QPrinter::PdfFormat;
    m_devNames = MakeDevNames(QString::fromLatin1(pdf ? kPdfDriver : kNativeDriver),
                              printer.printerName(), pdf ? printer.outputFileName() : QString());

    const QPageLayout layout = printer.pageLayout();
    const QPageSize size = layout.pageSize();
    QByteArray mode;
    QDataStream out(&mode, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << kDevModeVersion << qint32(size.id()) << size.size(QPageSize::Point) << size.name()
        << qint32(layout.orientation()) << qint32(layout.units()) << layout.margins()
        << qint32(printer.copyCount()) << printer.collateCopies() << qint32(printer.colorMode())
        << qint32(printer.duplex()) << qint32(printer.pageOrder());
    m_devMode = mode;
}

void CPrinterDef::Configure(QPrinter& printer) const {
    if (HasDevNames()) {
        if (GetDriverName() == QLatin1String(kPdfDriver)) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(GetPortName());
        } else {
            printer.setOutputFormat(QPrinter::NativeFormat);
            printer.setPrinterName(GetDeviceName());
        }
    }
    if (!HasDevMode()) return;
    QDataStream in(m_devMode);
    in.setVersion(QDataStream::Qt_6_0);
    quint8 version = 0;
    qint32 sizeId = 0, orientation = 0, units = 0, copies = 1, colour = 0, duplex = 0, order = 0;
    QSizeF points;
    QString sizeName;
    QMarginsF margins;
    bool collate = false;
    in >> version >> sizeId >> points >> sizeName >> orientation >> units >> margins >> copies >>
        collate >> colour >> duplex >> order;
    if (in.status() != QDataStream::Ok || version != kDevModeVersion) return;
    const QPageSize size = sizeId == QPageSize::Custom
                               ? QPageSize(points, QPageSize::Point, sizeName)
                               : QPageSize(QPageSize::PageSizeId(sizeId));
    printer.setPageLayout(QPageLayout(size, QPageLayout::Orientation(orientation), margins,
                                      QPageLayout::Unit(units)));
    printer.setCopyCount(std::max(1, int(copies)));
    printer.setCollateCopies(collate);
    printer.setColorMode(QPrinter::ColorMode(colour));
    printer.setDuplex(QPrinter::DuplexMode(duplex));
    printer.setPageOrder(QPrinter::PageOrder(order));
}

void CPrinterDef::Serialize(QDataStream& out) const {
    out << quint32(m_devNames.size());
    out.writeRawData(m_devNames.constData(), int(m_devNames.size()));
    out << quint32(m_devMode.size());
    out.writeRawData(m_devMode.constData(), int(m_devMode.size()));
}

void CPrinterDef::Deserialize(QDataStream& in) {
    const auto readBlock = [&in](QByteArray& block) {
        quint32 length = 0;
        in >> length;
        if (in.status() != QDataStream::Ok || length == 0) return;
        // A damaged archive must not make us allocate what it cannot hold.
        if (in.device() && qint64(length) > in.device()->bytesAvailable()) {
            in.setStatus(QDataStream::ReadCorruptData);
            return;
        }
        QByteArray bytes(qsizetype(length), Qt::Uninitialized);
        if (in.readRawData(bytes.data(), int(length)) != int(length)) {
            in.setStatus(QDataStream::ReadPastEnd);
            return;
        }
        block = bytes;
    };
    readBlock(m_devNames);
    readBlock(m_devMode);
}
