"""Talks to the virtual instrument as a standard serial instrument would be
talked to, through PyVISA's pure-Python backend."""
import sys

import pyvisa


def main(port):
    rm = pyvisa.ResourceManager("@py")
    inst = rm.open_resource(f"ASRL{port}::INSTR")
    inst.read_termination = "\n"
    inst.write_termination = "\r\n"
    inst.timeout = 5000
    failures = []

    def expect(what, got, wanted):
        if got != wanted:
            failures.append(f"{what}: got {got!r}, wanted {wanted!r}")

    expect("*IDN?", inst.query("*IDN?"), "QV Instruments,KMA-3303T,SN000123,1.0")
    inst.write(":CHAN1:VOLT 12.5")
    inst.write(":OUTP:STAT 1")
    expect(":CHAN1:MEAS:VOLT?", inst.query(":CHAN1:MEAS:VOLT?"), "12.500")
    expect(":CHAN1:MEAS:CURR?", inst.query(":CHAN1:MEAS:CURR?"), "1.250")
    expect(":SYST:ERR?", inst.query(":SYST:ERR?"), '0,"No error"')
    inst.close()
    rm.close()
    for failure in failures:
        print(failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
