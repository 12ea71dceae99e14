#!/usr/bin/python3
"""pyserial's RFC 2217 client, the one most station scripts use, against trivex-sim --listen and
against ser2net in front of a virtual module on a pseudo-terminal, side by side on loopback:
the time to open (opens alternate between the two), opens that failed, and what a client that
sends option requests and never reads costs the simulator in resident memory.

    bench/rfc2217_client.py BUILD_DIR [OPENS]
"""
import os, shutil, socket, statistics, subprocess, sys, tempfile, time

import serial

build = sys.argv[1]
opens = int(sys.argv[2]) if len(sys.argv) > 2 else 100
work = tempfile.mkdtemp()
procs = []


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(port):
    for _ in range(200):
        try:
            socket.create_connection(("127.0.0.1", port), timeout=0.1).close()
            time.sleep(0.1)  # ser2net lets the device go after a probe's connection
            return
        except OSError:
            time.sleep(0.02)
    raise SystemExit("nothing listens at %d" % port)


def resident_kib(pid):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


try:
    sim_port, s2n_port = free_port(), free_port()
    sim = subprocess.Popen([build + "/trivex-sim", "--headless", "--listen", str(sim_port)],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    procs.append(sim)
    pty = subprocess.Popen([build + "/trivex-sim", "--headless", "--link", work + "/bus"],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    procs.append(pty)
    for _ in range(200):
        if os.path.exists(work + "/bus"):
            break
        time.sleep(0.02)
    with open(work + "/ser2net.yaml", "w") as config:
        config.write("connection: &bus\n  accepter: telnet(rfc2217),tcp,127.0.0.1,%d\n"
                     "  connector: serialdev,%s/bus,9600n81,local\n" % (s2n_port, work))
    ser2net = shutil.which("ser2net") or shutil.which("ser2net", path="/usr/sbin:/sbin")
    procs.append(subprocess.Popen([ser2net, "-n", "-c", work + "/ser2net.yaml", "-P", work + "/pid"],
                                  stderr=subprocess.DEVNULL))
    wait_for(sim_port)
    wait_for(s2n_port)
    # ser2net in front of a pseudo-terminal gives no answer to SET-CONTROL: pyserial is told so.
    urls = {"trivex-sim": "rfc2217://127.0.0.1:%d" % sim_port,
            "ser2net": "rfc2217://127.0.0.1:%d?ign_set_control" % s2n_port}
    times = {name: [] for name in urls}
    failed = {name: 0 for name in urls}
    for i in range(opens):
        for name in (list(urls) if i % 2 == 0 else list(reversed(urls))):
            start = time.monotonic()
            try:
                port = serial.serial_for_url(urls[name], baudrate=9600, timeout=1)
                times[name].append((time.monotonic() - start) * 1000)
                port.close()
            except serial.SerialException as error:
                failed[name] += 1
                print("  %s: %s" % (name, error))
            time.sleep(0.05)  # ser2net lets the device go after a client
    for name in urls:
        t = sorted(times[name])
        print("pyserial rfc2217 open, %s: %d opens, %d failed, median %.1f ms, max %.1f ms"
              % (name, opens, failed[name], statistics.median(t) if t else 0, t[-1] if t else 0))
    ratio = statistics.median(times["trivex-sim"]) / statistics.median(times["ser2net"])
    print("trivex-sim against ser2net: %.2f (target at most 2)" % ratio)

    # A client that asks for an option over and over and reads nothing.
    resting = resident_kib(sim.pid)
    peak = resting
    client = socket.create_connection(("127.0.0.1", sim_port))
    client.setblocking(False)
    request = b"\xff\xfd\x00" * 4096
    end = time.monotonic() + 10
    while time.monotonic() < end:
        try:
            client.send(request)
        except BlockingIOError:
            time.sleep(0.001)
        except OSError:
            break  # dropped
        peak = max(peak, resident_kib(sim.pid))
    client.close()
    time.sleep(0.5)
    print("a client that never reads, for up to 10 s: resident %d KiB at rest, %d KiB at most, %d KiB after "
          "(target under 100 MB)" % (resting, peak, resident_kib(sim.pid)))
finally:
    for proc in procs:
        proc.terminate()
        proc.wait()
    shutil.rmtree(work, ignore_errors=True)
