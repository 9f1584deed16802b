#!/usr/bin/env python3
"""Two monitors run as services, every part real: profiles written with --write-profile, two
headless monitors against two simulated Brokers, without a display, scraped every second by
a real Prometheus server loaded with the example alerting rules, mailing a real SMTP server.
One Broker goes down: Prometheus sees it, the alert mail goes out, and the recovery mail when
it answers again. The other Broker's alert cannot be mailed: one line says so, and scanning
goes on. SIGTERM ends both with their SHUTDOWN lines. Then what an administrator gets wrong:
each a clear message, a non-zero status and nothing written.

  service_end_to_end.py --quorvatel BIN --sim-bin DIR --examples DIR
"""
import argparse
import base64
import glob
import json
import os
import pty
import signal
import socket
import subprocess
import sys
import tempfile
import termios
import time
import urllib.parse
import urllib.request

WAIT_S = 30


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(what, condition, timeout=WAIT_S):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            value = condition()
            if value:
                return value
        except OSError:
            pass
        time.sleep(0.1)
    raise AssertionError(f"timed out waiting for {what}")


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def http_get(url):
    with urllib.request.urlopen(url, timeout=5) as response:
        return response.read().decode()


class Scene:
    def __init__(self, args, root):
        self.bin = os.path.abspath(args.quorvatel)
        self.examples = os.path.abspath(args.examples)
        self.root = root
        self.env = {k: v for k, v in os.environ.items()
                    if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        self.env["PATH"] = os.path.abspath(args.sim_bin) + os.pathsep + self.env.get("PATH", "")
        self.env["TESSAMY_SIM_HOME"] = os.path.join(root, "sim")
        self.sim_bin = os.path.abspath(args.sim_bin)
        self.procs = []

    def path(self, *parts):
        return os.path.join(self.root, *parts)

    def sim(self, *args):
        subprocess.run([os.path.join(self.sim_bin, "tessamy-sim"), *args], env=self.env,
                       check=True, stdout=subprocess.DEVNULL)

    def broker(self, name, password, sessions):
        self.sim("create", name, "--users", "0", "--sessions", "0", "--admin", "admin",
                 "--password", password, "--replace")
        for i in range(sessions):
            user = f"user{i}"
            self.sim("adduser", name, user)
            # Above every Linux pid: never taken for the listing tool's own session.
            self.sim("logon", name, user, "--machine", f"PC{i}", "--pid", str(5000000 + i))

    def run(self, *args, stdin=None, env=None):
        return subprocess.run([self.bin, *args], input=stdin, capture_output=True, text=True,
                              env=env or self.env, timeout=WAIT_S)

    def start(self, *args, env=None, program=None, stdout=None):
        log = open(self.path(f"output{len(self.procs)}.log"), "w+")
        command = [program or self.bin, *args]
        proc = subprocess.Popen(command, env=env or self.env, stdout=stdout or log,
                                stderr=log, stdin=subprocess.DEVNULL, cwd=self.root)
        proc.log = log
        self.procs.append(proc)
        return proc

    def write_profile(self, name, broker, password, *extra):
        conf = self.path(f"{name}.conf")
        done = self.run("--config", conf, "--write-profile", "--broker", broker, "--admin",
                        "admin", "--password-stdin", "--interval", "1", *extra,
                        stdin=password + "\n")
        check(done.returncode == 0, f"--write-profile failed: {done.stderr}")
        check(done.stdout.strip() == conf, f"--write-profile printed {done.stdout!r}")
        text = open(conf).read()
        check("Broker=" + broker in text and password not in text,
              f"the profile holds the password in clear or no Broker:\n{text}")
        check(os.stat(conf).st_mode & 0o777 == 0o600, f"{conf} is not private")
        return conf

    def workdir(self, name):
        path = self.path(name)
        os.mkdir(path)
        return path

    def stop_all(self):
        for proc in self.procs:
            if proc.poll() is None:
                proc.kill()
                proc.wait()


def history(workdir):
    with open(os.path.join(workdir, "QuorvatelHistory.log")) as f:
        return f.read().splitlines()


def mails(directory):
    """(recipients, subject) of each message the SMTP server took, oldest first."""
    out = []
    for path in sorted(glob.glob(os.path.join(directory, "msg-*.json"))):
        with open(path) as f:
            message = json.load(f)
        text = base64.b64decode(message["dataBase64"]).decode(errors="replace")
        subject = next((l[len("Subject: "):] for l in text.splitlines()
                        if l.startswith("Subject: ")), "")
        out.append((message["rcptTos"], subject))
    return out


def smtp_server(scene):
    """A real SMTP server on 127.0.0.1; its port and the directory of what it took."""
    directory = scene.path("mail")
    os.mkdir(directory)
    sink = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support",
                        "smtp_sink.py")
    proc = scene.start(directory, program=sink, stdout=subprocess.PIPE)
    return int(proc.stdout.readline()), directory


def series(exposition, name, broker):
    for line in exposition.splitlines():
        if line.startswith(f'{name}{{broker="{broker}"}} '):
            return float(line.split()[-1])
    return None


class Prometheus:
    def __init__(self, scene, targets):
        self.port = free_port()
        config = scene.path("prometheus.yml")
        with open(config, "w") as f:
            f.write("global:\n  scrape_interval: 1s\n  evaluation_interval: 1s\n"
                    f"rule_files:\n  - {os.path.join(scene.examples, 'quorvatel-rules.yml')}\n"
                    "scrape_configs:\n  - job_name: quorvatel\n    static_configs:\n"
                    f"      - targets: {json.dumps(targets)}\n")
        scene.start("--config.file=" + config, "--storage.tsdb.path=" + scene.path("tsdb"),
                    f"--web.listen-address=127.0.0.1:{self.port}", "--log.level=warn",
                    program="prometheus")

    def query(self, expr):
        """{broker: value} of an instant query."""
        url = f"http://127.0.0.1:{self.port}/api/v1/query?" + urllib.parse.urlencode(
            {"query": expr})
        answer = json.loads(http_get(url))
        check(answer["status"] == "success", f"query {expr}: {answer}")
        return {r["metric"].get("broker"): float(r["value"][1]) for r in answer["data"]["result"]}


def scrape_two_brokers(scene):
    """The scenario: two Brokers watched, one goes down, both end on SIGTERM."""
    scene.broker("BKA", "pw A", 3)
    scene.broker("BKB", "pw B", 5)
    smtp_port, mailbox = smtp_server(scene)
    conf_a = scene.write_profile("a", "BKA", "pw A", "--email-alerts", "on", "--alert-limit",
                                 "2", "--email-server", "127.0.0.1", "--email-port",
                                 str(smtp_port), "--email-from", "qv@example.com",
                                 "--email-to", "ops@example.com")
    conf_b = scene.write_profile("b", "BKB", "pw B", "--email-alerts", "on", "--alert-limit",
                                 "1", "--email-server", "127.0.0.1", "--email-port",
                                 str(smtp_port), "--email-from", "qv@example.com",
                                 "--email-to", "ops@example.com")
    work_a, work_b = scene.workdir("work-a"), scene.workdir("work-b")
    port_a, port_b = free_port(), free_port()
    mon_a = scene.start("--headless", "--config", conf_a, "--workdir", work_a,
                        "--metrics-listen", f"127.0.0.1:{port_a}")
    # B finds every Tessamy tool but the mail tool.
    tools_b = scene.workdir("tools-b")
    for tool in ("quslist", "vqry", "vantrace"):
        os.symlink(os.path.join(scene.sim_bin, tool), os.path.join(tools_b, tool))
    mon_b = scene.start("--headless", "--config", conf_b, "--workdir", work_b,
                        "--metrics-listen", f"localhost:{port_b}",
                        env=dict(scene.env, PATH=tools_b + os.pathsep + "/usr/bin:/bin"))

    metrics_a = f"http://127.0.0.1:{port_a}/metrics"
    exposition = wait_for("BKA's metrics", lambda: (
        lambda text: text if series(text, "quorvatel_broker_up", "BKA") == 1 else None)(
            http_get(metrics_a)))
    check(series(exposition, "quorvatel_sessions", "BKA") == 3, exposition)
    check(series(exposition, "quorvatel_sessions_added_total", "BKA") == 3, exposition)
    lint = subprocess.run(["promtool", "check", "metrics"], input=exposition,
                          capture_output=True, text=True)
    check(lint.returncode == 0, f"promtool check metrics: {lint.stdout}{lint.stderr}")
    check(len([l for l in history(work_a) if l.startswith("ADD : ")]) == 3, history(work_a))

    # A second monitor in the same working directory is refused, as the window refuses it.
    second = scene.run("--headless", "--config", conf_a, "--workdir", work_a)
    check(second.returncode == 1 and "already running in " + work_a in second.stderr,
          f"second monitor: {second.returncode} {second.stderr}")

    prom = Prometheus(scene, [f"127.0.0.1:{port_a}", f"127.0.0.1:{port_b}"])
    wait_for("both session counts in Prometheus",
             lambda: prom.query("quorvatel_sessions") == {"BKA": 3, "BKB": 5})
    check(prom.query("quorvatel_broker_up") == {"BKA": 1, "BKB": 1}, "both Brokers up")

    scene.sim("condition", "BKA", "down")
    wait_for("BKA down in Prometheus", lambda: prom.query("quorvatel_broker_up")
             == {"BKA": 0, "BKB": 1})
    # The example rule sees it too: pending until it has lasted a minute.
    wait_for("the Broker-down alert pending", lambda: prom.query(
        'ALERTS{alertname="QuorvatelBrokerNotAnswering",alertstate="pending"}') == {"BKA": 1})
    check(prom.query("quorvatel_broker_up") == {"BKA": 0, "BKB": 1}, "BKB stays up")

    # The alert mail, and the recovery mail once the Broker answers again, both counted.
    wait_for("the alert mail", lambda: len(mails(mailbox)) == 1)
    scene.sim("condition", "BKA", "up")
    wait_for("the recovery mail", lambda: len(mails(mailbox)) == 2)
    (to_alert, alert), (to_recovery, recovery) = mails(mailbox)
    check(to_alert == to_recovery == ["ops@example.com"] and recovery == alert + " - Recovered",
          f"mails: {mails(mailbox)}")
    wait_for("the mails counted in Prometheus", lambda: prom.query(
        "quorvatel_alert_mails_sent_total + quorvatel_recovery_mails_sent_total + "
        "quorvatel_broker_up") == {"BKA": 3, "BKB": 1})
    check(len([l for l in history(work_a) if l.endswith(" To: ops@example.com") and "Sent" in l]) == 2,
          f"the mails are not in the history: {history(work_a)}")

    # B's alert cannot be mailed: one line on standard error and in the trace log, and
    # scanning goes on without waiting for anybody.
    scene.sim("condition", "BKB", "down")
    line = ("quorvatel: Executable Not Found: 'vsend ops@example.com -m 127.0.0.1 -p "
            f"{smtp_port} -f qv@example.com")
    wait_for("B's message line", lambda: line in open(mon_b.log.name).read())
    scans = series(http_get(f"http://127.0.0.1:{port_b}/metrics"), "quorvatel_scans_total",
                   "BKB")
    wait_for("B scanning on", lambda: series(http_get(f"http://127.0.0.1:{port_b}/metrics"),
                                             "quorvatel_scans_total", "BKB") > scans + 1)
    # Told once, not at every failed scan; each mail not sent is counted.
    check(open(mon_b.log.name).read().count("quorvatel: ") == 1, "B repeats its message")
    check(series(http_get(f"http://127.0.0.1:{port_b}/metrics"),
                 "quorvatel_alert_mails_failed_total", "BKB") >= 1, "B's failed mail uncounted")
    with open(os.path.join(work_b, "QuorvatelTrace.log")) as f:
        check(line in f.read(), "the message is not in the trace log")

    for proc in (mon_a, mon_b):
        proc.send_signal(signal.SIGTERM)
    for proc, work in ((mon_a, work_a), (mon_b, work_b)):
        check(proc.wait(timeout=WAIT_S) == 0, f"status {proc.returncode} after SIGTERM")
        last = history(work)[-1]
        check(last.startswith("REC : 0000       QUORVATEL            SHUTDOWN"), last)
        check(not os.path.exists(os.path.join(work, "Quorvatel.lock")), "the lock stays")
    return conf_a


def window_serves_metrics(scene, conf):
    """The window serves the same series with --metrics-listen."""
    work = scene.workdir("work-window")
    port = free_port()
    env = dict(scene.env, QT_QPA_PLATFORM="offscreen")
    scene.sim("condition", "BKA", "up")
    window = scene.start("--config", conf, "--workdir", work, "--metrics-listen",
                         f"127.0.0.1:{port}", env=env)
    wait_for("the window's metrics", lambda: series(
        http_get(f"http://127.0.0.1:{port}/metrics"), "quorvatel_sessions", "BKA") == 3)
    window.send_signal(signal.SIGTERM)
    check(window.wait(timeout=WAIT_S) == 0, "the window's status after SIGTERM")


def stopped_mid_scan(scene, conf):
    """A Broker that keeps the first scan waiting: nothing reads as stopped scanning
    meanwhile, and SIGTERM still ends the monitor at once with its SHUTDOWN line."""
    scene.sim("condition", "BKA", "hang")
    work = scene.workdir("work-hang")
    port = free_port()
    started = time.time()
    monitor = scene.start("--headless", "--config", conf, "--workdir", work,
                          "--metrics-listen", f"127.0.0.1:{port}")
    exposition = wait_for("the monitor's series", lambda: (
        lambda text: text if series(text, "quorvatel_scans_total", "BKA") == 0 else None)(
            http_get(f"http://127.0.0.1:{port}/metrics")))
    last = series(exposition, "quorvatel_last_scan_timestamp_seconds", "BKA")
    check(last >= started - 1, f"the last scan read as at {last} before any was counted")
    monitor.send_signal(signal.SIGTERM)
    check(monitor.wait(timeout=WAIT_S) == 0, f"status {monitor.returncode} after SIGTERM")
    check(history(work)[-1].startswith("REC : 0000       QUORVATEL            SHUTDOWN"),
          history(work))
    scene.sim("condition", "BKA", "up")


def refusals(scene, conf):
    """Bad input: a clear message, a non-zero status, nothing written where it should not be."""
    def refused(what, args, status, message, untouched=None):
        done = scene.run(*args)
        check(done.returncode == status and message in done.stderr,
              f"{what}: status {done.returncode}, said {done.stderr!r}")
        if untouched:
            check(os.listdir(untouched) == [], f"{what}: wrote {os.listdir(untouched)}")

    def profile(name, text):
        path = scene.path(name)
        with open(path, "w") as f:
            f.write(text)
        return path

    work = scene.workdir("work-refused")
    good = open(conf).read()
    garbage = profile("garbage.conf", good.replace("Interval=1", "Interval=soon"))
    refused("garbage value", ["--headless", "--config", garbage, "--workdir", work], 2,
            "Interval=soon, not a whole number", work)
    binary = profile("binary.conf", "[Settings\nBroker\n\x00\x7f")
    refused("not a profile", ["--headless", "--config", binary, "--workdir", work], 2,
            "is not a settings file", work)
    # A line the settings reader cannot take: refused, not saved without that line.
    damaged = profile("damaged.conf", good + "Broker BKZ\n")
    refused("--write-profile into a damaged profile", ["--write-profile", "--config", damaged,
                                                       "--interval", "2"], 2,
            "is not a settings file")
    check(open(damaged).read() == good + "Broker BKZ\n", "the damaged profile was rewritten")
    nopassword = profile("nopw.conf", "\n".join(
        l for l in good.splitlines() if not l.startswith("AdminPswd")))
    refused("no password", ["--headless", "--config", nopassword, "--workdir", work], 2,
            "has no AdminPswd", work)
    refused("no profile", ["--headless", "--config", scene.path("none.conf"), "--workdir",
                           work], 2, "does not exist", work)

    missing = scene.path("no-such-dir")
    refused("missing directory", ["--headless", "--config", conf, "--workdir", missing], 2,
            "the working directory " + missing + " does not exist")
    check(not os.path.exists(missing), "the missing directory was made")
    if os.geteuid() == 0:
        unwritable = "/proc"  # root writes everywhere else
    else:
        unwritable = scene.workdir("read-only")
        os.chmod(unwritable, 0o555)
    refused("unwritable directory", ["--headless", "--config", conf, "--workdir", unwritable],
            1, "cannot write in " + unwritable)

    with socket.socket() as taken:
        taken.bind(("127.0.0.1", 0))
        taken.listen()
        port = taken.getsockname()[1]
        refused("port in use", ["--headless", "--config", conf, "--workdir", work,
                                "--metrics-listen", f"127.0.0.1:{port}"], 2,
                f"cannot serve metrics on 127.0.0.1:{port}: Address already in use", work)
    for bad in ("127.0.0.1", "127.0.0.1:0", "localhost:65536", "[::1]:9464", "monitor:9464"):
        refused("--metrics-listen " + bad, ["--headless", "--config", conf, "--workdir", work,
                                            "--metrics-listen", bad], 2, "--metrics-listen: ",
                work)
    refused("password on the command line", ["--write-profile", "--config", conf, "--password",
                                             "x"], 2, "from standard input only")
    refused("profile option without --write-profile", ["--headless", "--config", conf,
                                                       "--broker", "X"], 2,
            "taken only with --write-profile", work)
    refused("no password on stdin", ["--write-profile", "--config", scene.path("n.conf"),
                                     "--password-stdin"], 2, "no password on standard input")
    check(not os.path.exists(scene.path("n.conf")), "a profile was written without password")
    # Root changing the profile of a service user leaves it that user's, and private.
    if os.geteuid() == 0:
        os.chown(conf, 65534, 65534)
        done = scene.run("--write-profile", "--config", conf, "--interval", "1")
        st = os.stat(conf)
        check(done.returncode == 0 and (st.st_uid, st.st_gid, st.st_mode & 0o777) ==
              (65534, 65534, 0o600), f"rewritten by root: {done.stderr} {st}")
    # Ctrl+C at the password prompt gives the terminal its echo back.
    master, terminal = pty.openpty()
    asking = subprocess.Popen([scene.bin, "--write-profile", "--config", scene.path("n.conf"),
                               "--password-stdin"], stdin=terminal, stderr=subprocess.PIPE,
                              env=scene.env)
    check(asking.stderr.read(len("Password: ")) == b"Password: ", "no password prompt")
    wait_for("the echo off", lambda: not termios.tcgetattr(terminal)[3] & termios.ECHO)
    asking.send_signal(signal.SIGINT)
    check(asking.wait(timeout=WAIT_S) == -signal.SIGINT, f"status {asking.returncode}")
    check(termios.tcgetattr(terminal)[3] & termios.ECHO, "the terminal is left without echo")
    os.close(master)
    os.close(terminal)

    # The Tessamy tools not on PATH: the message quotes the command, but never the password.
    lost = scene.start("--headless", "--config", conf, "--workdir", work,
                       env=dict(scene.env, PATH="/usr/bin:/bin"))
    wait_for("the missing tool told",
             lambda: "Executable Not Found: 'quslist" in open(lost.log.name).read())
    lost.send_signal(signal.SIGTERM)
    lost.wait(timeout=WAIT_S)
    with open(os.path.join(work, "QuorvatelTrace.log")) as f:
        for text in (open(lost.log.name).read(), f.read()):
            check('-pw ****** -cu' in text and "pw A" not in text, f"the password told: {text}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--quorvatel", required=True)
    parser.add_argument("--sim-bin", required=True)
    parser.add_argument("--examples", required=True)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as root:
        scene = Scene(args, root)
        try:
            conf = scrape_two_brokers(scene)
            window_serves_metrics(scene, conf)
            stopped_mid_scan(scene, conf)
            refusals(scene, conf)
        except Exception as failure:  # a timeout or a crash is told with the logs as well
            for proc in scene.procs:
                proc.log.seek(0)
                sys.stderr.write(f"--- {' '.join(proc.args[:2])}:\n{proc.log.read()[-3000:]}\n")
            sys.stderr.write(f"FAIL: {failure}\n")
            return 1
        finally:
            scene.stop_all()
    print("service end to end: ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
