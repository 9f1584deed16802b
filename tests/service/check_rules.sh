#!/usr/bin/env bash
# The example Prometheus files as Prometheus takes them: the alerting rules pass promtool's
# checks and their unit test, and the scrape configuration is valid.
#   check_rules.sh EXAMPLES_DIR TESTS_DIR
set -euo pipefail
promtool check rules "$1/quorvatel-rules.yml"
promtool check config --syntax-only "$1/prometheus.yml"
promtool test rules "$2/quorvatel-rules.test.yml"
