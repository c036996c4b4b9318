"""An FTP server that plays a script, for what real servers never do.

Reads the script from standard input, one step a line, listens on 127.0.0.1 at a port of the
system's choosing, prints that port, and serves one control connection:

  recv          read one command line and print it as "C: <command>"
  send TEXT     send TEXT (backslash escapes allowed) followed by CR LF
  part TEXT     send TEXT without a line end
  data TEXT     connect to the address of the last PORT command, send TEXT, close
  hold TEXT     the same, but keep the data connection open until the client closes it
  intrude TEXT  the same as data, but from 127.0.0.2: someone other than the server
  drip MS TEXT  the same as data, but one byte every MS milliseconds
  sleep MS      do nothing for MS milliseconds
  close         close the control connection

After the script, commands are read and printed until the client closes the connection.
Every wait ends after LIMIT seconds, so that a failing test cannot leave the server behind.
"""

import codecs
import socket
import sys
import time

LIMIT = 15
MAX_LINE = 65536


def unescape(text):
    return codecs.escape_decode(text.encode("latin-1"))[0]


def read_command(reader):
    line = reader.readline(MAX_LINE)
    if not line:
        return None
    command = line.rstrip(b"\r\n").decode("latin-1")
    print("C: " + command, flush=True)
    return command


def data_connection(address, payload, hold, source=None, pause=0):
    try:
        with socket.create_connection(address, timeout=LIMIT, source_address=source) as data:
            if pause:
                deadline = time.monotonic() + LIMIT
                for i in range(len(payload)):
                    if time.monotonic() > deadline:
                        break
                    data.sendall(payload[i:i + 1])
                    time.sleep(pause)
            else:
                data.sendall(payload)
            if hold:
                deadline = time.monotonic() + LIMIT
                while time.monotonic() < deadline and data.recv(4096):
                    pass
    except OSError as error:
        print("E: data connection: %s" % error, flush=True)


def main():
    steps = sys.stdin.read().splitlines()
    with socket.socket() as listener:
        listener.bind(("127.0.0.1", 0))
        listener.listen(1)
        listener.settimeout(LIMIT)
        print(listener.getsockname()[1], flush=True)
        control, _ = listener.accept()
    control.settimeout(LIMIT)
    reader = control.makefile("rb")
    port_address = None
    try:
        for step in steps:
            op, _, argument = step.partition(" ")
            if op == "recv":
                command = read_command(reader)
                if command is None:
                    break
                if command.startswith("PORT "):
                    numbers = [int(n) for n in command[5:].split(",")]
                    port_address = (".".join(map(str, numbers[:4])), numbers[4] * 256 + numbers[5])
            elif op == "send":
                control.sendall(unescape(argument) + b"\r\n")
            elif op == "part":
                control.sendall(unescape(argument))
            elif op in ("data", "hold"):
                data_connection(port_address, unescape(argument), op == "hold")
            elif op == "drip":
                pause, _, text = argument.partition(" ")
                data_connection(port_address, unescape(text), False, pause=int(pause) / 1000)
            elif op == "intrude":
                data_connection(port_address, unescape(argument), False, ("127.0.0.2", 0))
            elif op == "sleep":
                time.sleep(int(argument) / 1000)
            elif op == "close":
                break
            else:
                raise ValueError("unknown step: " + step)
        else:
            while read_command(reader) is not None:
                pass
    except OSError as error:
        print("E: control connection: %s" % error, flush=True)
    finally:
        # The reader holds the socket open too.
        reader.close()
        control.close()


if __name__ == "__main__":
    main()
