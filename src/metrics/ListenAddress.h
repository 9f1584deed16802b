#pragma once

#include <QString>
#include <optional>

// Where the metrics endpoint listens, given as ADDRESS:PORT: an IPv4 address ("localhost"
// standing for 127.0.0.1, 0.0.0.0 for every interface) and a port from 1 to 65535.
struct ListenAddress {
    QString host;  // dotted IPv4
    quint16 port = 0;

    // "host:port", as the web server takes it.
    QString Text() const { return host + QLatin1Char(':') + QString::number(port); }

    // Nothing, with `error` saying what is wrong, when `text` is not ADDRESS:PORT.
    static std::optional<ListenAddress> Parse(const QString& text, QString& error);
};
