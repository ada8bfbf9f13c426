#!/usr/bin/python3
"""A wide-area link in front of a loopback FTP server, for benchmarks.

Usage: wanproxy.py SERVER_PORT STATUS_FILE [--rtt-ms=N] [--cap-mbit=N] [--no-handshake]
                   [--verbose]

Listens on a free loopback port, writes "port N" to STATUS_FILE (and its standard output), and
relays every connection to the FTP server on 127.0.0.1:SERVER_PORT:

- Every byte, both ways, on the control connection and on the data connections, reaches the other
  side half the round-trip time (--rtt-ms, default 40) after the proxy read it, in order. Chunks
  are stamped when read and released when due, so a whole bandwidth-delay product is in flight.
  The end of a stream (FIN) is delayed the same way. Each direction holds at most twice the
  bandwidth-delay product (at least 1 MiB; 8 MiB without a cap); beyond that the proxy stops
  reading and TCP's flow control holds the sender back.
- A new connection costs what TCP's handshake costs on such a link: the proxy opens its own
  connection to the server 1.5 round trips after it accepted the client (SYN there, SYN-ACK back,
  the first segment there), so the server sees the connection, and the client's first bytes,
  when it would on the link. --no-handshake connects at once instead.
- With --cap-mbit, the payload of the data connections is paced by one token bucket per
  direction, shared by all data connections like one link (burst 64 KiB). Control connections
  are not capped: their few hundred bytes a file are not what the cap is about.
- Passive-mode replies on the control connection (227, and 229 for EPSV) are rewritten to point
  at a one-shot listener of the proxy, which relays to the address the server named.
  Active mode (PORT, EPRT) is not relayed: clients must use passive mode.
- --verbose writes the rate of every data connection of more than 1 MiB to standard error, as
  the proxy released its bytes to the server.

Ends when killed or when its parent ends. Standard library only (asyncio).
"""
import asyncio
import collections
import os
import re
import sys

CHUNK = 65536
BURST = 65536
UNCAPPED_QUEUE = 8 << 20  # bytes held per direction when no cap paces them


def option(name, default=None):
    prefix = "--" + name + "="
    return next((a[len(prefix):] for a in sys.argv[1:] if a.startswith(prefix)), default)


class Link:
    """A token bucket: `rate` bytes a second, at most BURST saved up. Chunks reserve their
    tokens when they are read, in arrival order, and learn when they may leave."""

    def __init__(self, rate):
        self.rate = rate
        self.tokens = BURST
        self.last = 0.0

    def departure(self, now, size):
        self.tokens = min(BURST, self.tokens + (now - self.last) * self.rate)
        self.last = now
        wait = 0.0 if self.tokens >= size else (size - self.tokens) / self.rate
        self.tokens -= size  # may go below zero: later chunks wait for the debt too
        return now + wait


class DelayLine:
    """One direction of one connection: what `fill` reads leaves through `empty` when due."""

    def __init__(self, delay, link, limit, rewrite=None):
        self.delay = delay
        self.link = link
        self.limit = limit
        self.rewrite = rewrite
        self.items = collections.deque()
        self.queued = 0
        self.last_due = 0.0
        self.released = 0
        self.first = self.last = 0.0
        self.arrived = asyncio.Event()
        self.room = asyncio.Event()
        self.room.set()

    def push(self, data):
        loop = asyncio.get_running_loop()
        now = loop.time()
        leaves = self.link.departure(now, len(data)) if self.link and data else now
        self.last_due = max(self.last_due, leaves + self.delay)  # order is kept whatever the clock says
        self.items.append((self.last_due, data))
        if data:
            self.queued += len(data)
            if self.queued >= self.limit:
                self.room.clear()
        self.arrived.set()

    async def fill(self, reader):
        try:
            while True:
                await self.room.wait()
                data = await reader.read(CHUNK)
                if not data:
                    break
                if self.rewrite:
                    data = await self.rewrite(data)
                if data:
                    self.push(data)
        except (ConnectionError, OSError):
            pass
        if self.rewrite:
            rest = self.rewrite.flush()
            if rest:
                self.push(rest)
        self.push(None)  # the end of the stream, delayed like the bytes before it

    async def empty(self, writer):
        loop = asyncio.get_running_loop()
        try:
            while True:
                while not self.items:
                    self.arrived.clear()
                    await self.arrived.wait()
                due, data = self.items.popleft()
                wait = due - loop.time()
                if wait > 0:
                    await asyncio.sleep(wait)
                if data is None:
                    if writer.can_write_eof():
                        writer.write_eof()
                    return
                writer.write(data)
                self.released += len(data)
                self.first = self.first or loop.time()
                self.last = loop.time()
                self.queued -= len(data)
                if self.queued < self.limit:
                    self.room.set()
                await writer.drain()
        except (ConnectionError, OSError, RuntimeError):
            self.room.set()
            raise ConnectionResetError


class PassiveRewriter:
    """Rewrites passive-mode replies in the server's reply stream, whole lines at a time."""

    PASV = re.compile(rb"\((\d+),(\d+),(\d+),(\d+),(\d+),(\d+)\)")
    EPSV = re.compile(rb"\(\|\|\|(\d+)\|\)")

    def __init__(self, proxy):
        self.proxy = proxy
        self.pending = b""

    async def __call__(self, data):
        data = self.pending + data
        cut = data.rfind(b"\n") + 1
        self.pending = data[cut:]
        out = []
        for line in data[:cut].splitlines(keepends=True):
            out.append(await self.rewrite_line(line))
        return b"".join(out)

    def flush(self):
        rest, self.pending = self.pending, b""
        return rest

    async def rewrite_line(self, line):
        if line.startswith(b"227 "):
            found = self.PASV.search(line)
            if found:
                n = [int(x) for x in found.groups()]
                port = await self.proxy.listen_once("%d.%d.%d.%d" % tuple(n[:4]), n[4] * 256 + n[5])
                address = b"(127,0,0,1,%d,%d)" % (port // 256, port % 256)
                return line[: found.start()] + address + line[found.end():]
        elif line.startswith(b"229 "):
            found = self.EPSV.search(line)
            if found:
                port = await self.proxy.listen_once(self.proxy.server_host, int(found.group(1)))
                return line[: found.start()] + b"(|||%d|)" % port + line[found.end():]
        return line


class Proxy:
    def __init__(self, server_host, server_port, rtt, cap, handshake):
        self.server_host = server_host
        self.server_port = server_port
        self.delay = rtt / 2
        self.handshake = handshake
        self.up = Link(cap) if cap else None
        self.down = Link(cap) if cap else None
        # The client may run this far ahead of the link; more than the bandwidth-delay product.
        self.live = {}  # the tasks of every relay in progress
        self.limit = max(1 << 20, int(2 * cap * rtt)) if cap else UNCAPPED_QUEUE

    async def relay(self, client_reader, client_writer, host, port, data):
        loop = asyncio.get_running_loop()
        accepted = loop.time()
        up = DelayLine(self.delay, self.up if data else None, self.limit)
        down = DelayLine(self.delay, self.down if data else None, self.limit,
                         None if data else PassiveRewriter(self))
        tasks = [asyncio.ensure_future(up.fill(client_reader))]
        try:
            if self.handshake:
                await asyncio.sleep(max(0.0, accepted + 3 * self.delay - loop.time()))
            server_reader, server_writer = await asyncio.open_connection(host, port)
        except OSError:
            tasks[0].cancel()
            client_writer.close()
            return
        tasks += [asyncio.ensure_future(c) for c in
                  (up.empty(server_writer), down.fill(server_reader), down.empty(client_writer))]
        self.live[id(tasks)] = tasks  # the loop holds tasks weakly; a quiet relay must not vanish
        try:
            await asyncio.gather(*tasks)
            if data and "--verbose" in sys.argv and up.released > 1 << 20:
                print("data up: %d bytes, %.3f s, %.2f MB/s" % (up.released, up.last - up.first,
                      up.released / max(1e-9, up.last - up.first) / 1e6), file=sys.stderr, flush=True)
            for writer in (client_writer, server_writer):
                writer.close()
        except ConnectionError:  # one side went away: so does the other
            for task in tasks:
                task.cancel()
            for writer in (client_writer, server_writer):
                writer.transport.abort()
        finally:
            del self.live[id(tasks)]

    async def listen_once(self, host, port):
        """A listener for one data connection, relayed to host:port; returns its port."""
        listener = None

        async def accepted(reader, writer):
            listener.close()
            await self.relay(reader, writer, host, port, True)

        listener = await asyncio.start_server(accepted, "127.0.0.1", 0)
        asyncio.get_running_loop().call_later(60, listener.close)  # never used
        return listener.sockets[0].getsockname()[1]

    async def serve(self, status_file):
        server = await asyncio.start_server(
            lambda r, w: self.relay(r, w, self.server_host, self.server_port, False), "127.0.0.1", 0)
        port = server.sockets[0].getsockname()[1]
        temporary = status_file + ".tmp"
        with open(temporary, "w") as out:
            out.write("port %d\n" % port)
        os.replace(temporary, status_file)
        print("port %d" % port, flush=True)
        parent = os.getppid()
        while os.getppid() == parent:
            await asyncio.sleep(0.5)


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    if len(args) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    rtt = float(option("rtt-ms", "40")) / 1000
    cap = float(option("cap-mbit", "0")) * 1e6 / 8
    proxy = Proxy("127.0.0.1", int(args[0]), rtt, cap, "--no-handshake" not in sys.argv)
    asyncio.run(proxy.serve(args[1]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
