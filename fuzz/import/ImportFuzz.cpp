// The recipient import's reader: the input is the content of a snapshot file, read through
// the same display-free function the "Import SS..." command uses.

#include <QBuffer>
#include <QByteArray>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "exchange/Import.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer device(&bytes);
    Check(device.open(QIODevice::ReadOnly));
    QStringList addresses;
    // A buffer never fails to read, so the reader must reach the end; binary input gives
    // no address.
    const ImportReading reading = ReadImportAddresses(device, addresses, CImport::kMaxFileBytes);
    Check(reading != ImportReading::ReadError);
    Check(device.atEnd());
    Check(reading == ImportReading::Complete || addresses.isEmpty());

    // At most one address per line after the header: a long line never splits into more.
    qsizetype lines = bytes.count('\n');
    if (!bytes.isEmpty() && !bytes.endsWith('\n')) ++lines;
    Check(addresses.size() <= qMax<qsizetype>(0, lines - 1));
    for (const QString& address : addresses) {
        Check(!address.isEmpty());
        Check(!address.contains(QLatin1Char(',')));
        for (const QChar c : address) Check(c.category() != QChar::Other_Control);
    }
    return 0;
}
