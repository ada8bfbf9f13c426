#!/usr/bin/python3
"""A real FTP server for the tests: pyftpdlib on a free loopback port, one user with full rights
on one folder.

Usage: ftpserver.py ROOT USER PASSWORD STATUS_FILE [--cp1252] [--upload-rate=BYTES_PER_SECOND]
                    [--port=N]

Writes "port N" to STATUS_FILE (and its standard output) once it listens, then serves until it is
killed, its standard input closes, the folder of STATUS_FILE disappears or its parent ends. When
pyftpdlib is missing it writes "missing pyftpdlib" and exits with 3. With --cp1252, command lines
and replies are Windows-1252 text, as the uploader sends them, instead of pyftpdlib's UTF-8.
With --upload-rate, every data connection receives at most that many bytes a second, so that an
upload lasts long enough to be watched. With --port it listens on that port instead of a free
one, as a server started again after a stop does.

The status file is there because a Linux program that Wine starts does not write to the pipes
the Windows test hands it; the watchers because such a program cannot be killed from Windows.
"""
import os
import stat
import sys
import threading
import time


def report(status_file, line):
    print(line, flush=True)
    temporary = status_file + ".tmp"
    with open(temporary, "w") as out:
        out.write(line + "\n")
    os.replace(temporary, status_file)  # the test never reads half a line


def watch(status_file):
    """Ends the process once nobody can be using the server any more."""
    parent = os.getppid()

    def watch_stdin():
        try:
            while sys.stdin.buffer.read(1):
                pass
        except OSError:
            pass
        os._exit(0)

    try:
        if stat.S_ISFIFO(os.fstat(0).st_mode):
            threading.Thread(target=watch_stdin, daemon=True).start()
    except OSError:
        pass

    def watch_folder_and_parent():
        folder = os.path.dirname(status_file) or "."
        while os.path.isdir(folder) and os.getppid() == parent:
            time.sleep(0.2)
        os._exit(0)

    threading.Thread(target=watch_folder_and_parent, daemon=True).start()


def option(name):
    prefix = "--" + name + "="
    return next((a[len(prefix):] for a in sys.argv[1:] if a.startswith(prefix)), None)


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    if len(args) != 4:
        print(__doc__, file=sys.stderr)
        return 2
    root, user, password, status_file = args
    try:
        from pyftpdlib import handlers
        from pyftpdlib.authorizers import DummyAuthorizer
        from pyftpdlib.handlers import FTPHandler
        from pyftpdlib.servers import FTPServer
    except ImportError:
        report(status_file, "missing pyftpdlib")
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

            # Listings are encoded as UTF-8 whatever the handler says; they go out in
            # Windows-1252 too. The producer yields whole lines, so each chunk converts alone.
            def push_dtp_data(self, data, isproducer=False, file=None, cmd=None):
                def transcode(chunk):
                    return chunk.decode("utf8", "replace").encode("cp1252", "replace")

                if cmd in ("LIST", "NLST"):
                    if isproducer:
                        inner = data

                        class Transcoding:
                            def more(self):
                                return transcode(inner.more())

                        data = Transcoding()
                    else:
                        data = transcode(data)
                return super().push_dtp_data(data, isproducer, file, cmd)

        handler = Cp1252Handler
    upload_rate = option("upload-rate")
    if upload_rate:
        class ThrottledReceiver(handlers.ThrottledDTPHandler):
            read_limit = int(upload_rate)

        handler.dtp_handler = ThrottledReceiver
    handler.authorizer = authorizer
    handler.banner = "Orvane test server ready."
    handler.passive_ports = None
    handler.auth_failed_timeout = 0.1  # pyftpdlib waits 3 s after a wrong password

    import logging
    logging.basicConfig(level=logging.WARNING, stream=sys.stderr)

    # A server started again may find its port still held for a moment by the one it replaces.
    address = ("127.0.0.1", int(option("port") or 0))
    deadline = time.monotonic() + 5
    while True:
        try:
            server = FTPServer(address, handler)
            break
        except OSError:
            if time.monotonic() > deadline:
                raise
            time.sleep(0.1)
    server.max_cons = 32
    port = server.socket.getsockname()[1]
    watch(status_file)
    report(status_file, "port %d" % port)
    server.serve_forever(handle_exit=False)
    return 0


if __name__ == "__main__":
    sys.exit(main())
