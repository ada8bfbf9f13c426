#!/usr/bin/python3
"""A real FTP server for the tests: pyftpdlib on a free loopback port, one user with full rights
on one folder.

Usage: ftpserver.py ROOT USER PASSWORD [--cp1252]

Prints "port N" on its standard output once it listens, then serves until it is killed or its
standard input closes. When pyftpdlib is missing it prints "missing pyftpdlib" and exits with 3.
With --cp1252, command lines and replies are Windows-1252 text, as the uploader sends them,
instead of pyftpdlib's UTF-8.
"""
import os
import sys
import threading


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    if len(args) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    root, user, password = args
    try:
        from pyftpdlib import handlers
        from pyftpdlib.authorizers import DummyAuthorizer
        from pyftpdlib.handlers import FTPHandler
        from pyftpdlib.servers import FTPServer
    except ImportError:
        print("missing pyftpdlib", flush=True)
        return 3

    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, root, perm="elradfmwMT")

    handler = FTPHandler
    if "--cp1252" in sys.argv:
        class Cp1252Handler(FTPHandler):
            # pyftpdlib decodes command lines and encodes replies as UTF-8; the uploader speaks
            # the Windows ANSI code page.
            def decode(self, bytes):
                return bytes.decode("cp1252", self.unicode_errors)

            def push(self, s):
                handlers.asynchat.async_chat.push(self, s.encode("cp1252", "replace"))

        handler = Cp1252Handler
    handler.authorizer = authorizer
    handler.banner = "Orvane test server ready."
    handler.passive_ports = None
    handler.auth_failed_timeout = 0.1  # pyftpdlib waits 3 s after a wrong password

    import logging
    logging.basicConfig(level=logging.WARNING, stream=sys.stderr)

    server = FTPServer(("127.0.0.1", 0), handler)
    server.max_cons = 32
    port = server.socket.getsockname()[1]
    print("port %d" % port, flush=True)

    # The test that started us may die without killing us: end when our standard input closes.
    def watch_stdin():
        try:
            while sys.stdin.buffer.read(1):
                pass
        except OSError:
            pass
        os._exit(0)

    if not sys.stdin.isatty():
        threading.Thread(target=watch_stdin, daemon=True).start()
    server.serve_forever(handle_exit=False)
    return 0


if __name__ == "__main__":
    sys.exit(main())
