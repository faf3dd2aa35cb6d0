#!/usr/bin/python3
"""The four readings taken the way a short pyserial script would take them.

The benchmark's yardstick: the same exchange as tarnel -a (a line feed, a
purge, the command, a 1 ms pause, one read with a 1 ms window), printed in
the same plain form.  Usage: peer.py PORT
"""
import sys
import time

import serial

READINGS = (b"GT\n", b"GH\n", b"GP\n")


def query(port, command):
    port.write(b"\n")
    port.reset_input_buffer()
    port.reset_output_buffer()
    port.write(command)
    time.sleep(0.001)
    return port.read(127)


def main():
    with serial.Serial(sys.argv[1], 115200, bytesize=serial.EIGHTBITS,
                       parity=serial.PARITY_NONE, stopbits=serial.STOPBITS_ONE,
                       timeout=0.001) as port:
        for command in READINGS:
            reply = query(port, command)
            try:
                print(f"{float(reply):.1f}" if reply else "NaN")
            except ValueError:
                print("NaN")
        reply = query(port, b"GN\n")
        print(reply.decode("latin-1").rstrip() if reply else "UNKNOWN")


if __name__ == "__main__":
    main()
