"""Drives the running program over its control port with PyVISA (pure-Python
backend, raw socket resource), against the virtual instrument, then checks
that badly behaved clients neither stop nor hang it.

Usage: control_port_test.py QLE PSU_SIM CATALOGUE
"""
import os
import re
import shutil
import socket
import sqlite3
import subprocess
import sys
import tempfile
import time

import pyvisa

failures = []


def expect(what, got, wanted):
    ok = wanted.fullmatch(got) if isinstance(wanted, re.Pattern) else got == wanted
    if not ok:
        failures.append(f"{what}: got {got!r}, wanted {wanted.pattern if isinstance(wanted, re.Pattern) else wanted!r}")
    return got


class Client:
    """A raw socket client reading one reply line at a time."""

    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=30)
        self.buffer = b""

    def send(self, data):
        self.sock.sendall(data if isinstance(data, bytes) else (data + "\n").encode())

    def line(self):
        while b"\n" not in self.buffer:
            chunk = self.sock.recv(4096)
            if not chunk:
                break
            self.buffer += chunk
        line, _, self.buffer = self.buffer.partition(b"\n")
        return line.decode(errors="replace")

    def ask(self, data):
        self.send(data)
        return self.line()

    def close(self):
        self.sock.close()


def start_programs(work, qle, sim, catalogue):
    data = os.path.join(work, "data")
    os.makedirs(data)
    shutil.copy(catalogue, os.path.join(data, "mtype.mdb"))
    env = dict(os.environ, HOME=work, XDG_CONFIG_HOME=os.path.join(work, "config"),
               QT_QPA_PLATFORM="offscreen", ASAN_OPTIONS="detect_leaks=0")
    transcript = os.path.join(work, "transcript.txt")
    simulator = subprocess.Popen([sim, "--control", "none", "--no-noise", "--transcript", transcript],
                                 stdout=subprocess.PIPE, text=True)
    pty = simulator.stdout.readline().strip()
    program = subprocess.Popen([qle, "--connect", pty, "--control-port", "0", "--data-dir", data],
                               stderr=subprocess.PIPE, text=True, env=env)
    port = None
    deadline = time.time() + 30
    while port is None and time.time() < deadline:
        line = program.stderr.readline()
        found = re.search(r"control port (\d+) on", line)
        if found:
            port = int(found.group(1))
    return simulator, program, port, transcript, data


def wait_for(condition, seconds):
    deadline = time.time() + seconds
    while time.time() < deadline:
        if condition():
            return True
        time.sleep(0.2)
    return False


def drive_with_pyvisa(port, transcript, data):
    rm = pyvisa.ResourceManager("@py")
    inst = rm.open_resource(f"TCPIP::127.0.0.1::{port}::SOCKET")
    inst.read_termination = "\n"
    inst.write_termination = "\n"
    inst.timeout = 40000
    # --connect has brought the panel up; CONN connects again after DISC.
    expect("connected at start", "3" if wait_for(lambda: inst.query("STAT?") == "3", 30) else "not", "3")
    expect("CONN while connected", inst.query("CONN"), "ERR already connected")
    expect("DISC", inst.query("DISC"), "OK")
    expect("STAT? after DISC", inst.query("STAT?"), "0")
    expect("VOLT without a panel", inst.query("VOLT 1,5"), "ERR no panel")
    expect("CONN", inst.query("CONN"), "OK KMA-3303T")
    expect("*IDN?", inst.query("*IDN?"), re.compile(r"QLE,[0-9.]+,KMA-3303T"))
    expect("CHAN?", inst.query("chan?"), "3")
    expect("VOLT 1,5", inst.query("VOLT 1,5"), "OK")
    expect("VOLT? 1", inst.query("VOLT? 1"), "5.00")
    expect("panel's command on the wire", "yes" if wait_for(
        lambda: re.search(r"^\d+ < :CHAN1:VOLT 5\.?0*$", open(transcript).read(), re.M), 10) else "no", "yes")
    expect("VOLT above the limit", inst.query("VOLT 1,99"), re.compile(r"ERR out of range 0 to \d+(\.\d+)?"))
    expect("channel 4", inst.query("CURR 4,1"), "ERR no such channel")
    expect("not a number", inst.query("VOLT 1,five"), "ERR not a number")
    expect("OUTP ON", inst.query("OUTP ON"), "OK")
    expect("OUTP?", inst.query("OUTP?"), "ON")
    expect("REC:SETUP out of range", inst.query("REC:SETUP 0,0,1,3,0,0"), re.compile(r"ERR out of range.*"))
    expect("REC:SETUP over the day limit", inst.query("REC:SETUP 1,0,0,0,0,0"),
           "ERR The Max. Record Time Lenth must less than 8.9 Hours !")
    expect("REC:SETUP", inst.query("REC:SETUP 0,0,2,0,0,0"), "OK")
    expect("REC:STAR", inst.query("REC:STAR"), "OK")
    expect("rows come", "yes" if wait_for(lambda: int(inst.query("REC:STAT?").split(",")[1]) >= 3, 15) else "no",
           "yes")
    # Classic polling reads a channel every few seconds: the reading, with its age, follows.
    wait_for(lambda: inst.query("MEAS:VOLT? 1").startswith("5.0"), 30)
    expect("MEAS:VOLT? 1", inst.query("MEAS:VOLT? 1"), re.compile(r"5\.0+,\d+"))
    expect("REC:STOP", inst.query("REC:STOP"), "OK")
    rows = int(expect("REC:STAT? stopped", inst.query("REC:STAT?"), re.compile(r"0,\d+")).split(",")[1])
    # Unsaved rows: a start is refused unless forced.
    expect("REC:STAR over unsaved rows", inst.query("REC:STAR"), "ERR unsaved recording")
    expect("still stopped", inst.query("REC:STAT?").split(",")[0], "0")
    number = expect("REC:SAVE", inst.query('REC:SAVE "pyvisa run"'), re.compile(r"\d+"))
    with sqlite3.connect(os.path.join(data, "mtype.mdb")) as db:
        listed = db.execute("select Comment from datamain where RecNo = ?", (number,)).fetchall()
        stored = db.execute("select count(*) from datadetail where RecNo = ?", (number,)).fetchone()[0]
    expect("record list", listed, [("pyvisa run",)])
    expect("rows saved", stored, rows)
    expect("REC:LOAD", inst.query(f"REC:LOAD {number}"), str(rows))
    expect("REC:LOAD of no record", inst.query("REC:LOAD 999"), "ERR no such record")
    expect("REC:STAR FORCE", inst.query("REC:STAR FORCE"), "OK")
    expect("REC:STOP again", inst.query("REC:STOP"), "OK")
    expect("SEND query", inst.query('SEND "*IDN?"'), "QV Instruments,KMA-3303T,SN000123,1.0")
    expect("SEND command", inst.query('SEND ":CHAN2:VOLT 7"'), "OK")
    expect("SEND mistyped command", inst.query('SEND ":CHAN2:VOLT:BAD 7"'), 'ERR instrument: -113,"Undefined header"')
    expect("output kept on after the mistake", inst.query("OUTP?"), "ON")
    expect("COUP TRACK", inst.query("COUP TRACK"), "OK")
    expect("locked by TRACK", inst.query("VOLT 1,3"), "ERR field locked")
    expect("COUP INDEP", inst.query("COUP INDEP"), "OK")
    expect("MEAS:POW?", inst.query("MEAS:POW? 1"), re.compile(r"\d+\.\d{3},\d+"))
    expect("EVT? without a recording", inst.query("EVT?"), re.compile(r"\d+(;.*)?"))
    expect("SEQ:STAT? before any run", inst.query("SEQ:STAT?"), "idle,0,0.0")
    expect("unknown", inst.query("MEAS:RES? 1"), "ERR unknown command")
    inst.close()
    rm.close()


def bad_clients(port, program):
    # A client that connects and says nothing holds nothing up: a second one
    # is answered meanwhile, and so is one that reconnects at once, each time.
    idle = Client(port)
    second = Client(port)
    expect("second client", second.ask("STAT?"), "3")
    second.close()
    for attempt in range(8):
        again = Client(port)
        expect(f"reconnected at once ({attempt})", again.ask("CHAN?"), "3")
        again.close()
    # Lines of two clients sent together are each answered on their own link.
    first, second = Client(port), Client(port)
    first.send("CHAN?")
    second.send("*IDN?")
    first.send("STAT?")
    expect("first client's first line", first.line(), "3")
    expect("second client's line", second.line(), re.compile(r"QLE,[0-9.]+,KMA-3303T"))
    expect("first client's second line", first.line(), "3")
    first.close()
    second.close()
    # Past eight clients at once, the next is told and closed.
    crowd = [Client(port) for _ in range(7)]
    extra = Client(port)
    expect("ninth client", extra.line(), "ERR busy: too many clients")
    for member in crowd + [extra]:
        member.close()
    idle.close()
    time.sleep(0.3)
    client = Client(port)
    expect("line over 4 KB", client.ask(b"VOLT 1," + b"9" * 5000 + b"\n"), "ERR line too long")
    expect("after a long line", client.ask("STAT?"), "3")
    expect("binary bytes", client.ask(b"\x00\xff\xfe\x1b[2J\x07\n"), "ERR unknown command")
    expect("two lines in one write", client.ask(b"CHAN?\nSTAT?\n"), "3")
    expect("the second of them", client.line(), "3")
    # Gone in the middle of a command that waits for the instrument.
    client.send('SEND "*IDN?"')
    client.close()
    time.sleep(0.5)
    client = Client(port)
    expect("a new client after one left mid-command", client.ask("*IDN?"), re.compile(r"QLE,[0-9.]+,KMA-3303T"))
    # Gone while a connection is being made: the next client's line waits for it.
    expect("DISC before leaving", client.ask(b"DISC\nCONN\n"), "OK")
    client.close()
    time.sleep(0.5)
    client = Client(port)
    expect("the line after a connection left behind", client.ask("STAT?"), "3")
    client.close()
    expect("program still running", program.poll(), None)


def main(qle, sim, catalogue):
    work = tempfile.mkdtemp(prefix="qle-control-port-")
    simulator, program, port, transcript, data = start_programs(work, qle, sim, catalogue)
    try:
        if port is None:
            failures.append("the program did not report its control port")
        else:
            drive_with_pyvisa(port, transcript, data)
            bad_clients(port, program)
    except Exception as error:  # a time-out or a closed socket is a failure too
        failures.append(f"{type(error).__name__}: {error}")
    finally:
        program.terminate()
        simulator.terminate()
        for process in (program, simulator):
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                process.kill()
        shutil.rmtree(work, ignore_errors=True)
    for failure in failures:
        print(failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:4]))
