#!/usr/bin/env python3
"""netns-run keeps tests that serve one fixed port apart: two servers on the
same loopback port, each through netns-run, are both listening at once. And
where no namespace can be made it fails, saying so, rather than run the
command on the shared network."""
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
NETNS_RUN = os.path.join(HERE, "netns-run")
PORT = 18181  # the end-to-end tests' port

SERVER = f"""
import socket, sys
s = socket.socket()
s.bind(("127.0.0.1", {PORT}))
s.listen()
print("bound", flush=True)
sys.stdin.read()  # until the test lets go
"""


def main() -> int:
    servers = [subprocess.Popen([NETNS_RUN, sys.executable, "-c", SERVER], stdin=subprocess.PIPE,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
               for _ in range(2)]
    failures = []
    try:
        # Both must be listening at the same time: the first holds its port
        # until the second has answered.
        for i, server in enumerate(servers):
            line = server.stdout.readline().strip()
            if line != "bound":
                server.kill()
                failures.append(f"server {i + 1} did not bind 127.0.0.1:{PORT}: "
                                f"{line!r} {server.stderr.read().strip()}")
    finally:
        for server in servers:
            if server.poll() is None:
                server.stdin.close()
            server.wait(timeout=10)

    env = dict(os.environ, PATH="/nonexistent")
    refused = subprocess.run(["/bin/bash", NETNS_RUN, "true"], env=env, capture_output=True,
                             text=True, timeout=10)
    if refused.returncode == 0 or "cannot make a private network namespace" not in refused.stderr:
        failures.append(f"without unshare netns-run gave {refused.returncode}: {refused.stderr!r}")

    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
