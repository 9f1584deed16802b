#include "metrics/ListenAddress.h"

#include <arpa/inet.h>

#include "platform/SettingsStore.h"

std::optional<ListenAddress> ListenAddress::Parse(const QString& text, QString& error) {
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    QString host = text.left(colon);
    const QString port = text.mid(colon + 1);
    const QString form =
        QStringLiteral(" (give ADDRESS:PORT with an IPv4 address, for example 127.0.0.1:9464)");
    if (colon <= 0) {
        error = QStringLiteral("\"%1\" names no address and port").arg(text) + form;
        return std::nullopt;
    }
    if (host == QLatin1String("localhost")) host = QStringLiteral("127.0.0.1");
    in_addr parsed{};
    if (::inet_pton(AF_INET, host.toLatin1().constData(), &parsed) != 1) {
        error = QStringLiteral("\"%1\" is not an IPv4 address").arg(text.left(colon)) + form;
        return std::nullopt;
    }
    quint32 number = 0;
    if (!SettingsStore::ParseUInt32(port, number) || number < 1 || number > 65535) {
        error = QStringLiteral("\"%1\" is not a port from 1 to 65535").arg(port) + form;
        return std::nullopt;
    }
    return ListenAddress{host, static_cast<quint16>(number)};
}
