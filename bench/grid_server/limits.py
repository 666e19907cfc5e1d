#!/usr/bin/python3
"""The grid server against hostile and busy clients, on loopback only.

pending N: N connections each announce a 120 MB request and send up to
    110 MB of it, then hold still; the server's resident memory and the
    latency of pings made meanwhile on fresh connections are measured.
gone N: N clients each send a read of a 4 MB block and reset their
    connection at once, while a well-behaved client pings; its latencies are
    measured.
shutdown retire|sigterm: 32 clients send mixed requests (pings, describes,
    256 KiB frames of garbage; a quarter of them in two halves 0.5 s apart)
    while the server is retired or sent SIGTERM; every connection the server
    accepted must get a reply, and the server must exit 0.

Usage: limits.py <build dir> <scratch dir> [pending N ...] [shutdown retire|sigterm ...]
(GRID_SERVER=path runs another grid_server program, such as an older build's,
against the same clients.)
(default: pending 8, pending 1020, gone 115, shutdown retire, shutdown sigterm). Every
loop is bounded in count and time; nothing is sent beyond 127.0.0.1.
"""
import os
import random
import resource
import signal
import socket
import statistics
import subprocess
import sys
import threading
import time

HOST = "127.0.0.1"
MB = 1 << 20


def start_server(build, scratch, *extra):
    root = os.path.join(scratch, "root")
    os.makedirs(root, exist_ok=True)
    port_file = os.path.join(scratch, "port.txt")
    if os.path.exists(port_file):
        os.remove(port_file)
    log = os.path.join(scratch, "server_log.txt")
    program = os.environ.get("GRID_SERVER") or os.path.join(build, "gridserver", "grid_server")
    proc = subprocess.Popen([program, "--root", root,
                             "--port", "0", "--port-file", port_file, "--log", log] + list(extra),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.time() + 20
    while not os.path.exists(port_file):
        if time.time() > deadline or proc.poll() is not None:
            raise RuntimeError("grid_server did not start")
        time.sleep(0.01)
    with open(port_file) as f:
        return proc, int(f.read())


def rss_mb(pid):
    with open("/proc/%d/status" % pid) as f:
        fields = dict(line.split(":", 1) for line in f if ":" in line)
    return int(fields["VmRSS"].split()[0]) / 1024, int(fields["VmHWM"].split()[0]) / 1024


def read_exactly(sock, n):
    chunks = []
    while n > 0:
        chunk = sock.recv(min(n, 1 << 20))
        if not chunk:
            return None
        chunks.append(chunk)
        n -= len(chunk)
    return b"".join(chunks)


def read_reply(sock):
    header = read_exactly(sock, 8)
    if header is None:
        return None
    try:
        length = int(header.decode("ascii").strip(), 16)
    except ValueError:
        return None
    return read_exactly(sock, length)


def exchange(port, frame, timeout=15.0, split=None):
    """One request on a fresh connection: the reply payload, or None when the
    connection closed without one; raises ConnectionRefusedError when the
    server no longer accepts."""
    sock = socket.create_connection((HOST, port), timeout=timeout)
    try:
        if split is None:
            sock.sendall(frame)
        else:
            sock.sendall(frame[:len(frame) // 2])
            time.sleep(split)
            sock.sendall(frame[len(frame) // 2:])
        return read_reply(sock)
    except OSError:
        return None
    finally:
        sock.close()


def ping_ms(port, frame):
    start = time.perf_counter()
    reply = exchange(port, frame, timeout=10.0)
    return (time.perf_counter() - start) * 1000 if reply else float("inf")


def pending(build, scratch, frames, count):
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (max(soft, min(hard, count + 256)), hard))
    proc, port = start_server(build, scratch)
    base, _ = rss_mb(proc.pid)
    announced, sent_each = 120 * MB, 110 * MB if count <= 16 else 1 * MB
    header = b"%8x" % announced
    socks, sent = [], [0] * count
    for _ in range(count):
        s = socket.create_connection((HOST, port), timeout=10)
        s.sendall(header)
        socks.append(s)

    def feed(i):
        socks[i].settimeout(2.0)
        block = b"x" * MB
        try:
            while sent[i] < sent_each:
                sent[i] += socks[i].send(block[:min(MB, sent_each - sent[i])])
        except OSError:
            pass  # held back: TCP pushes back once the socket buffers are full

    threads = [threading.Thread(target=feed, args=(i,)) for i in range(count)]
    start = time.time()
    for t in threads:
        t.start()
    pings = []
    while any(t.is_alive() for t in threads) and time.time() - start < 120:
        pings.append(ping_ms(port, frames["ping"]))
        time.sleep(0.05)
    for t in threads:
        t.join()
    for _ in range(20):
        pings.append(ping_ms(port, frames["ping"]))
    rss, peak = rss_mb(proc.pid)
    alive = proc.poll() is None
    whole = sum(1 for n in sent if n >= sent_each)
    for s in socks:
        s.close()
    proc.terminate()
    proc.wait(timeout=30)
    print("pending %d: each announces %d MB and sends up to %d MB; %d sent it all, %d held back"
          % (count, announced // MB, sent_each // MB, whole, count - whole))
    print("  server resident: %.0f MB before, %.0f MB after (peak %.0f MB); alive: %s"
          % (base, rss, peak, alive))
    print("  %d pings meanwhile: median %.1f ms, max %.1f ms"
          % (len(pings), statistics.median(pings), max(pings)))


def gone(build, scratch, frames, count):
    proc, port = start_server(build, scratch)
    for name in ("window", "write"):
        if exchange(port, frames[name]) is None:
            raise RuntimeError("the %s request got no reply" % name)
    pings, done = [], threading.Event()

    def hostile():
        for _ in range(count):
            sock = socket.create_connection((HOST, port), timeout=10)
            sock.sendall(frames["block"])
            sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, b"\x01\x00\x00\x00\x00\x00\x00\x00")
            sock.close()
        done.set()

    quiet = [ping_ms(port, frames["ping"]) for _ in range(50)]
    thread = threading.Thread(target=hostile)
    thread.start()
    while not done.is_set():
        pings.append(ping_ms(port, frames["ping"]))
    for _ in range(50):
        pings.append(ping_ms(port, frames["ping"]))
    thread.join()
    proc.terminate()
    proc.wait(timeout=30)
    dropped = 0
    with open(os.path.join(scratch, "server_log.txt"), errors="replace") as f:
        for line in f:
            if "the client has gone" in line:
                dropped += 1
    pings.sort()
    quiet.sort()
    print("gone %d: block reads of 4 MB whose clients reset at once; %d left unanswered by the "
          "server as gone" % (count, dropped))
    print("  pings meanwhile: %d, p50 %.1f ms, p99 %.1f ms (quiet: p99 %.1f ms)"
          % (len(pings), pings[len(pings) // 2], pings[int(len(pings) * 0.99)],
             quiet[int(len(quiet) * 0.99)]))


def shutdown(build, scratch, frames, how):
    proc, port = start_server(build, scratch, "--shutdown-grace", "5000")
    outcomes = {"reply": 0, "none": 0}
    lock = threading.Lock()
    stop_at = [None]
    garbage = b"%8x" % (256 << 10) + os.urandom(256 << 10)
    kinds = [frames["ping"], frames["describe"], garbage]

    def client(seed):
        rng = random.Random(seed)
        for _ in range(2000):
            frame = rng.choice(kinds)
            split = 0.5 if rng.random() < 0.25 else None
            try:
                reply = exchange(port, frame, split=split)
            except OSError:
                return  # refused: the server no longer accepts
            with lock:
                outcomes["reply" if reply is not None else "none"] += 1

    threads = [threading.Thread(target=client, args=(i,)) for i in range(32)]
    for t in threads:
        t.start()
    time.sleep(1.5)
    stop_at[0] = time.time()
    if how == "retire":
        retired = exchange(port, frames["retire"])
        if retired is None:
            print("  the retire request got no reply")
    else:
        proc.send_signal(signal.SIGTERM)
    code = proc.wait(timeout=60)
    exit_s = time.time() - stop_at[0]
    for t in threads:
        t.join(timeout=60)
    print("shutdown by %s during 32 clients' traffic: %d requests answered, %d accepted "
          "without a reply; exit code %d, %.2f s after the %s"
          % (how, outcomes["reply"], outcomes["none"], code, exit_s, how))


def main():
    if len(sys.argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    build, scratch = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    os.makedirs(scratch, exist_ok=True)
    subprocess.check_call([os.path.join(build, "bench", "grid_server", "grid_server_bench"), build,
                           "frames", scratch])
    frames = {}
    for name in ("ping", "retire", "describe", "window", "write", "block"):
        with open(os.path.join(scratch, name + ".frame"), "rb") as f:
            frames[name] = f.read()
    plan = sys.argv[3:] or ["pending", "8", "pending", "1020", "gone", "115", "shutdown", "retire",
                            "shutdown", "sigterm"]
    for what, arg in zip(plan[::2], plan[1::2]):
        if what == "pending":
            pending(build, scratch, frames, int(arg))
        elif what == "gone":
            gone(build, scratch, frames, int(arg))
        elif what == "shutdown":
            shutdown(build, scratch, frames, arg)
    return 0


if __name__ == "__main__":
    sys.exit(main())
