"""Sends the queries read from standard input, one a line, to the instrument at
the serial path given as the only argument, through PyVISA's pure-Python
backend, and prints the milliseconds from the first write to the last read
and the number of replies."""
import sys
import time

import pyvisa


def main(port):
    queries = [line.strip() for line in sys.stdin if line.strip()]
    rm = pyvisa.ResourceManager("@py")
    inst = rm.open_resource(f"ASRL{port}::INSTR")
    inst.write_termination = "\r\n"
    inst.read_termination = "\n"
    inst.timeout = 5000
    # The instrument polls for a new peer every 10 ms; let it see this one.
    time.sleep(0.06)
    start = time.perf_counter()
    replies = [inst.query(q) for q in queries]
    elapsed_ms = (time.perf_counter() - start) * 1000.0
    inst.close()
    rm.close()
    print(f"{elapsed_ms:.3f} {len(replies)}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
