#!/usr/bin/python3
"""A fleet on one machine: one central mosquitto and N units, each a mosquitto of its own bridged
to the central broker with the configuration pernix-fleet-bridge writes (TLS, the unit's serial
number and password, the central ACL), and a light publisher per unit imitating the program's
traffic on the unit's broker. An operator client subscribed to units/# measures what arrives.

Per unit: a "/status" every 5 s (the size the program publishes), and one validation every 2 s
(a bus at a busy stop) published as an event of the size of a validation result. The program
publishes no per-validation event today; the benchmark bridges one more topic, "event", to show
the load of a fleet that would report every validation (5 of 7 messages are events).

Prints one line per N and a table at the end: central broker CPU % and memory, messages/s at the
operator, end-to-end latency (publish time in the payload) p50/p99, and bridge connect times.
Everything runs on this machine: the units' brokers and the publishers compete with the central
broker for the same cores.
"""

import argparse
import json
import multiprocessing
import os
import random
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

import paho.mqtt.client as mqtt

HERE = os.path.dirname(os.path.abspath(__file__))
GENERATOR = os.path.join(HERE, "pernix-fleet-bridge")
OPERATOR_PASSWORD = "operator-secret"


_given_ports = set()
# The units' brokers still running, ended on the way out whatever happens.
_running = []


def free_port():
    """A free loopback port not handed out before in this run (the system may offer a port
    again once its probe socket is closed, and two brokers would then fight for it)."""
    while True:
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            port = s.getsockname()[1]
        if port not in _given_ports:
            _given_ports.add(port)
            return port


def run(*args, cwd=None):
    subprocess.run(args, cwd=cwd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def wait_port(port, timeout=10):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.2):
                return True
        except OSError:
            time.sleep(0.05)
    return False


def cpu_ticks(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime + stime


def memory_kib(pid, key):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(key + ":"):
                return int(line.split()[1])
    return 0


def serial(i):
    return f"B{i:08d}"


class Fleet:
    """The certificates, the accounts and the central broker; units are added per run."""

    def __init__(self, root, max_units):
        self.root = root
        pki = os.path.join(root, "pki")
        os.makedirs(pki)
        ec = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]
        run("openssl", "req", "-x509", *ec, "-keyout", "ca.key", "-out", "ca.crt", "-days", "2",
            "-subj", "/CN=Fleet bench CA", cwd=pki)
        run("openssl", "req", *ec, "-keyout", "server.key", "-out", "server.csr",
            "-subj", "/CN=localhost", cwd=pki)
        with open(os.path.join(pki, "server.ext"), "w") as f:
            f.write("subjectAltName=IP:127.0.0.1,DNS:localhost\n")
        run("openssl", "x509", "-req", "-in", "server.csr", "-CA", "ca.crt", "-CAkey", "ca.key",
            "-CAcreateserial", "-out", "server.crt", "-days", "2", "-extfile", "server.ext",
            cwd=pki)
        self.cafile = os.path.join(pki, "ca.crt")

        # The password file in one go: mosquitto_passwd -U hashes a file of user:password lines.
        passwd = os.path.join(root, "passwd")
        with open(passwd, "w") as f:
            f.write(f"operator:{OPERATOR_PASSWORD}\n")
            for i in range(max_units):
                f.write(f"{serial(i)}:pw-{serial(i)}\n")
        run("mosquitto_passwd", "-U", passwd)
        acl = os.path.join(root, "acl")
        with open(acl, "w") as f:
            f.write("pattern write units/%u/#\n"
                    "pattern read units/%u/velt/ui/+/get\n"
                    "pattern read units/%u/velt/ui/config/set\n"
                    "user operator\n"
                    "topic readwrite units/#\n")
        self.tls_port = free_port()
        self.port = free_port()
        self.conf = os.path.join(root, "central.conf")
        with open(self.conf, "w") as f:
            f.write(f"per_listener_settings false\n"
                    f"persistence false\n"
                    f"log_dest stdout\nlog_type error\nlog_type warning\n"
                    f"allow_anonymous false\npassword_file {passwd}\nacl_file {acl}\n"
                    f"max_connections -1\n"
                    f"listener {self.port} 127.0.0.1\n"
                    f"listener {self.tls_port} 127.0.0.1\n"
                    f"certfile {os.path.join(pki, 'server.crt')}\n"
                    f"keyfile {os.path.join(pki, 'server.key')}\n")
            if os.geteuid() == 0:
                f.write("user root\n")
        self.central = None

    def start_central(self):
        self.central = subprocess.Popen(["mosquitto", "-c", self.conf], stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        if not wait_port(self.port):
            sys.exit("the central broker does not start")

    def stop_central(self):
        if self.central:
            self.central.terminate()
            self.central.wait()
            self.central = None


class Unit:
    def __init__(self, fleet, index, restart_timeout):
        self.serial = serial(index)
        self.dir = os.path.join(fleet.root, "units", self.serial)
        confd = os.path.join(self.dir, "conf.d")
        os.makedirs(confd)
        with open(os.path.join(self.dir, "serialnumber"), "w") as f:
            f.write(self.serial + "\n")
        with open(os.path.join(self.dir, "password"), "w") as f:
            f.write(f"pw-{self.serial}\n")
        bridge = os.path.join(confd, "pernix-fleet.conf")
        subprocess.run(["bash", GENERATOR, "--central", f"127.0.0.1:{fleet.tls_port}",
                        "--cafile", fleet.cafile,
                        "--password-file", os.path.join(self.dir, "password"),
                        "--serial-file", os.path.join(self.dir, "serialnumber"),
                        "--restart-timeout", restart_timeout, "--output", bridge],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # The event feed the benchmark adds (see the top of this file).
        with open(bridge, "a") as f:
            f.write(f"topic event out 1 velt/ui/ units/{self.serial}/velt/ui/\n")
        self.port = free_port()
        self.conf = os.path.join(self.dir, "mosquitto.conf")
        with open(self.conf, "w") as f:
            f.write(f"listener {self.port} 127.0.0.1\nallow_anonymous true\npersistence false\n"
                    f"log_dest stdout\nlog_type error\nlog_type warning\n"
                    f"include_dir {confd}\n")
            if os.geteuid() == 0:
                f.write("user root\n")
        self.process = None

    def start(self):
        self.process = subprocess.Popen(["mosquitto", "-c", self.conf],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        _running.append(self.process)

    def stop(self):
        if self.process:
            self.process.terminate()
            self.process.wait()


def operator(port, results, stop, started):
    """The operator's client (its own process): records arrival time, latency and bridge
    notices."""
    latencies = []
    counts = []
    bridges = {}
    lock = threading.Lock()

    def on_message(client, userdata, message):
        now = time.time()
        topic = message.topic
        with lock:
            if topic.endswith("/bridge"):
                if message.payload == b"1":
                    bridges.setdefault(topic.split("/")[1], now)
                return
            counts.append(now)
            try:
                sent = json.loads(message.payload)["t"]
            except (ValueError, KeyError, TypeError):
                return
            latencies.append((now, now - sent))

    client = mqtt.Client(client_id="operator", clean_session=True)
    client.username_pw_set("operator", OPERATOR_PASSWORD)
    client.on_message = on_message
    client.on_connect = lambda c, u, f, rc: c.subscribe("units/#", qos=1)
    client.on_subscribe = lambda c, u, mid, qos: started.set()
    client.reconnect_delay_set(min_delay=0.1, max_delay=0.5)
    client.connect("127.0.0.1", port, keepalive=60)
    client.loop_start()
    while True:
        command = stop.get()
        with lock:
            if command == "bridges":
                results.put(dict(bridges))
            elif command == "forget-bridges":
                bridges.clear()
            elif command == "window":
                results.put((list(counts), list(latencies)))
            elif command == "quit":
                break
    client.loop_stop()
    client.disconnect()


# paho waits with select(), which takes no descriptor above 1023, and each client holds three
# (its socket and a wake-up pair): a publisher process takes at most this many units.
UNITS_PER_PUBLISHER = 200


def publishers(units, duration, status_s, validation_s, ready, record):
    """One client per unit on the unit's own broker, publishing on a staggered schedule."""
    clients = []
    for unit in units:
        c = mqtt.Client(client_id=f"pernix-{unit.serial}", clean_session=True)
        if c.connect("127.0.0.1", unit.port, keepalive=60) != mqtt.MQTT_ERR_SUCCESS:
            sys.exit(f"the publisher of {unit.serial} could not connect")
        c.loop_start()
        clients.append(c)
    ready.set()
    status = {"technician": False, "service": True}
    # A validation result's size: a transaction as the validator reports it.
    event = {"transaction": {"card": {"balanceAfter": 1380, "balanceBefore": 1500,
                                      "ePurse": {"transferRemainingMin": 90}},
                             "fareProductName": "Stored value", "passengerTypeName": "Adult",
                             "result": True, "ticketId": "T-0000000000", "type": 2},
             "pad": "x" * 300}
    schedule = []
    start = time.monotonic()
    for i in range(len(clients)):
        schedule.append([start + random.uniform(0, status_s), i, "status", status_s])
        schedule.append([start + random.uniform(0, validation_s), i, "event", validation_s])
    end = start + duration
    sent = []
    while True:
        schedule.sort()
        due, i, kind, period = schedule[0]
        if due >= end:
            break
        delay = due - time.monotonic()
        if delay > 0:
            time.sleep(delay)
        body = dict(status if kind == "status" else event)
        body["t"] = time.time()
        sent.append(body["t"])
        clients[i].publish(f"velt/ui/{kind}", json.dumps(body, indent=4), qos=0)
        schedule[0][0] = due + period
    for c in clients:
        c.loop_stop()
        c.disconnect()
    with open(record, "w") as f:
        json.dump(sent, f)


def percentile(values, p):
    if not values:
        return float("nan")
    values = sorted(values)
    return values[min(len(values) - 1, int(round(p / 100 * (len(values) - 1))))]


def wait_bridges(requests, results, n, timeout, since):
    """Each unit's time from since[serial] to its bridge's "1" at the operator."""
    deadline = time.monotonic() + timeout
    bridges = {}
    while time.monotonic() < deadline:
        requests.put("bridges")
        bridges = results.get()
        if len(bridges) >= n:
            break
        time.sleep(0.2)
    return [bridges[s] - since[s] for s in bridges if s in since]


def measure(fleet, n, args):
    fleet.start_central()
    units = [Unit(fleet, i, args.restart_timeout) for i in range(n)]
    requests, results = multiprocessing.Queue(), multiprocessing.Queue()
    started = multiprocessing.Event()
    op = multiprocessing.Process(target=operator, args=(fleet.port, results, requests, started))
    op.start()
    if not started.wait(10):
        sys.exit("the operator's client could not subscribe")

    # Bridge connect time: every unit's broker started at once, as after a fleet-wide power-on;
    # each unit's time from its start to its "1" on the central broker.
    launched = {}
    for unit in units:
        launched[unit.serial] = time.time()
        unit.start()
    connect = wait_bridges(requests, results, n, args.connect_timeout, launched)
    failed = [u.serial for u in units if u.process.poll() is not None]
    if failed:
        print(f"units whose broker did not start: {' '.join(failed)}", file=sys.stderr)

    # Traffic: warm-up, then the measured window.
    pubs = []
    for first in range(0, n, UNITS_PER_PUBLISHER):
        ready = multiprocessing.Event()
        record = os.path.join(fleet.root, f"sent-{first}.json")
        pub = multiprocessing.Process(
            target=publishers,
            args=(units[first:first + UNITS_PER_PUBLISHER], args.warmup + args.duration + 2,
                  args.status, args.validation, ready, record))
        pub.start()
        pubs.append((pub, ready, record))
    for pub, ready, record in pubs:
        if not ready.wait(60):
            sys.exit("a publisher could not connect")
    time.sleep(args.warmup)
    pids = ([fleet.central.pid] + [u.process.pid for u in units] + [p.pid for p, _, _ in pubs] +
            [op.pid])
    central_before = cpu_ticks(fleet.central.pid)
    others_before = sum(cpu_ticks(p) for p in pids[1:])
    window_start = time.time()
    time.sleep(args.duration)
    window_end = time.time()
    central_after = cpu_ticks(fleet.central.pid)
    others_after = sum(cpu_ticks(p) for p in pids[1:])
    rss = memory_kib(fleet.central.pid, "VmRSS")
    hwm = memory_kib(fleet.central.pid, "VmHWM")
    requests.put("window")
    counts, latencies = results.get()
    sent = []
    for pub, ready, record in pubs:
        pub.join()
        with open(record) as f:
            sent += json.load(f)
    # What was published in the window, and how much of it arrived (by the time in the payload).
    published = [t for t in sent if window_start <= t < window_end]
    arrived = [t - l for (t, l) in latencies if window_start <= t - l < window_end]

    # Back after a restart of the central broker: every bridge reconnects on its own schedule
    # (restart_timeout), all TLS handshakes at once.
    fleet.stop_central()
    requests.put("forget-bridges")
    fleet.start_central()
    restarted = time.time()
    reconnect = wait_bridges(requests, results, n, args.connect_timeout,
                             {u.serial: restarted for u in units})
    requests.put("quit")
    op.join()
    for unit in units:
        unit.stop()
    fleet.stop_central()
    shutil.rmtree(os.path.join(fleet.root, "units"))

    ticks = os.sysconf("SC_CLK_TCK")
    wall = window_end - window_start
    in_window = [t for t in counts if window_start <= t < window_end]
    lat = [l * 1000 for (t, l) in latencies if window_start <= t < window_end]
    expected = n * (1 / args.status + 1 / args.validation)
    return {
        "n": n,
        "connected": len(connect),
        "connect_p50_s": percentile(connect, 50),
        "connect_max_s": max(connect) if connect else float("nan"),
        "reconnected": len(reconnect),
        "reconnect_p50_s": percentile(reconnect, 50),
        "reconnect_max_s": max(reconnect) if reconnect else float("nan"),
        "central_cpu": 100 * (central_after - central_before) / ticks / wall,
        "others_cpu": 100 * (others_after - others_before) / ticks / wall,
        "rss_mib": rss / 1024,
        "hwm_mib": hwm / 1024,
        "msgs": len(in_window) / wall,
        "published": len(published) / wall,
        "delivered": 100 * len(arrived) / len(published) if published else float("nan"),
        "expected": expected,
        "p50_ms": percentile(lat, 50),
        "p99_ms": percentile(lat, 99),
        "load": os.getloadavg()[0],
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("counts", nargs="*", type=int, default=[25, 50, 100, 200])
    parser.add_argument("--duration", type=float, default=60, help="measured seconds per N")
    parser.add_argument("--warmup", type=float, default=10)
    parser.add_argument("--status", type=float, default=5, help="seconds between statuses")
    parser.add_argument("--validation", type=float, default=2,
                        help="seconds between validations")
    parser.add_argument("--restart-timeout", default="5 30")
    parser.add_argument("--connect-timeout", type=float, default=120)
    args = parser.parse_args()

    root = tempfile.mkdtemp(prefix="pernix-fleet-bench-")
    fleet = Fleet(root, max(args.counts))
    rows = []
    try:
        for n in args.counts:
            row = measure(fleet, n, args)
            rows.append(row)
            print(json.dumps(row), flush=True)
    finally:
        for process in _running:
            if process.poll() is None:
                process.terminate()
                process.wait()
        for child in multiprocessing.active_children():
            child.terminate()
        fleet.stop_central()
        shutil.rmtree(root, ignore_errors=True)

    print()
    print("| units | central CPU % | central RSS (peak) MiB | msgs/s: arrived (published) "
          "| latency p50 / p99 ms | bridges up: p50 / last s | after a central restart: p50 / last s "
          "| rest of the fleet CPU % | load |")
    print("|---|---|---|---|---|---|---|---|---|")
    for r in rows:
        print(f"| {r['n']} | {r['central_cpu']:.1f} | {r['rss_mib']:.1f} ({r['hwm_mib']:.1f}) "
              f"| {r['msgs']:.1f} ({r['published']:.1f}; {r['delivered']:.1f} % arrived) | {r['p50_ms']:.1f} / {r['p99_ms']:.1f} "
              f"| {r['connect_p50_s']:.2f} / {r['connect_max_s']:.2f}"
              f"{'' if r['connected'] == r['n'] else ' (only %d)' % r['connected']} "
              f"| {r['reconnect_p50_s']:.2f} / {r['reconnect_max_s']:.2f}"
              f"{'' if r['reconnected'] == r['n'] else ' (only %d)' % r['reconnected']} "
              f"| {r['others_cpu']:.0f} | {r['load']:.1f} |")


if __name__ == "__main__":
    signal.signal(signal.SIGTERM, lambda *a: sys.exit(1))
    main()
