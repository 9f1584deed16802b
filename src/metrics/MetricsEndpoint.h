#pragma once

#include <QString>
#include <memory>

#include "metrics/ListenAddress.h"

namespace prometheus {
class Exposer;
class Registry;
}  // namespace prometheus

// The HTTP endpoint Prometheus scrapes: the Prometheus text format at /metrics, served from
// threads of its own so that a scrape never waits for a scan cycle (the series it reads are
// safe to read while the monitor's thread updates them). No authentication: it listens on
// the one address it is given, and nowhere else.
class MetricsEndpoint {
public:
    MetricsEndpoint();
    ~MetricsEndpoint();
    MetricsEndpoint(const MetricsEndpoint&) = delete;
    MetricsEndpoint& operator=(const MetricsEndpoint&) = delete;

    // Listens on `at` and serves `registry`. False, with `error` saying why, when the address
    // cannot be listened on (the port is taken, the address is not this machine's).
    bool Start(const ListenAddress& at, const std::shared_ptr<prometheus::Registry>& registry,
               QString& error);

private:
    std::unique_ptr<prometheus::Exposer> m_exposer;
};
