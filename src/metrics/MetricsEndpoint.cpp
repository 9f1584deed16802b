#include "metrics/MetricsEndpoint.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <prometheus/exposer.h>
#include <prometheus/registry.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// The web server only says it could not start; a bind of our own tells why.
QString WhyNotListening(const ListenAddress& at) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return QString::fromLocal8Bit(std::strerror(errno));
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(at.port);
    ::inet_pton(AF_INET, at.host.toLatin1().constData(), &address.sin_addr);
    QString why;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        why = QString::fromLocal8Bit(std::strerror(errno));
    ::close(fd);
    return why.isEmpty() ? QStringLiteral("the web server could not start") : why;
}

}  // namespace

MetricsEndpoint::MetricsEndpoint() = default;
MetricsEndpoint::~MetricsEndpoint() = default;

bool MetricsEndpoint::Start(const ListenAddress& at,
                            const std::shared_ptr<prometheus::Registry>& registry, QString& error) {
    try {
        m_exposer = std::make_unique<prometheus::Exposer>(at.Text().toStdString());
    } catch (const std::exception&) {
        error =
            QStringLiteral("cannot serve metrics on %1: %2").arg(at.Text(), WhyNotListening(at));
        return false;
    }
    m_exposer->RegisterCollectable(registry);
    return true;
}
