#!/usr/bin/python3
"""A real FTP server for the tests on a free loopback port, serving one folder.

Usage: ftpserver.py ROOT USER PASSWORD STATUS_FILE [--server=KIND] [--cp1252]
                    [--upload-rate=BYTES_PER_SECOND] [--port=N]
                    [--tls=CERT_DIR[:CERTIFICATE]] [--implicit] [--no-tls-reuse]
                    [--max-per-address=N] [--refuse-rest]

KIND is pyftpdlib (the default), vsftpd, proftpd or pure-ftpd.

With --tls (pyftpdlib and vsftpd), the server speaks FTP over TLS (RFC 4217) and requires it for
the login and for every data connection. Its certificate is CERTIFICATE (default "leaf") of the
test certificates in CERT_DIR, which tests/support/tlsserver.py makes there when they are
missing ("leaf" names localhost and 127.0.0.1 and comes from the test CA; see that script for the
others). With --implicit, vsftpd speaks TLS from the first byte instead (implicit FTPS). vsftpd
requires data connections to resume the control connection's TLS session, as it does by
default, unless --no-tls-reuse: Wine's SChannel never resumes one.

pyftpdlib serves one user with full rights on ROOT. With --cp1252, command lines and replies
are Windows-1252 text, as the uploader sends them to a server that does not offer UTF-8,
instead of pyftpdlib's UTF-8, and FEAT no longer offers UTF8. With --upload-rate, every data
connection receives at most that many bytes a second, so that an upload lasts long enough to be
watched. With --port it listens on that port instead of a free one, as a server started again
after a stop does. With --max-per-address, pyftpdlib takes at most N connections from one
address and greets the others with 421. With --refuse-rest, pyftpdlib still lists "REST STREAM"
in FEAT but refuses every REST with 502, as a server whose restart does not work.

vsftpd, proftpd and pure-ftpd are Debian's, each in its own configuration, started as root from
the packages that tools/fetch-servers unpacks below build/servers (fetched here when missing).
They serve ROOT as "/" with the folder "/upload" writable (made here): vsftpd to "anonymous"
with any password, as the system user daemon (its root must not be writable), proftpd and
pure-ftpd to USER and PASSWORD from a virtual-user file of their own, as nobody. Nothing of the machine's accounts or
configuration changes.

Writes "port N" to STATUS_FILE (and its standard output) once the server answers, then serves
until it is killed, its standard input closes, the folder of STATUS_FILE disappears or its
parent ends; the server goes with it. It writes "missing pyftpdlib" or "needs root" and exits
with 3 when the machine lacks what the server needs, "failed: WHY" and exits with 1 when the
server does not come up. The folder of STATUS_FILE holds the server's configuration and log.

The status file is there because a Linux program that Wine starts does not write to the pipes
the Windows test hands it; the watchers because such a program cannot be killed from Windows.
"""
import os
import signal
import socket
import stat
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
CACHE = os.path.join(os.path.dirname(HERE), "build", "servers")
NOBODY, NOGROUP = 65534, 65534
# vsftpd enters its anonymous user's home before the anonymous root, and nobody's does not
# exist: it serves as daemon instead, whose home every Debian system has.
DAEMON = 1
server_process = None  # a real server, ended with us


def report(status_file, line):
    print(line, flush=True)
    temporary = status_file + ".tmp"
    with open(temporary, "w") as out:
        out.write(line + "\n")
    os.replace(temporary, status_file)  # the test never reads half a line


def end(code=0):
    if server_process is not None:
        try:
            os.killpg(server_process.pid, signal.SIGKILL)  # the server and its sessions
        except OSError:
            pass
    os._exit(code)


def die_with_us():
    """In the server's process, before it runs: it gets SIGKILL when we end, however we end."""
    import ctypes
    PR_SET_PDEATHSIG = 1
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGKILL)


def watch(status_file):
    """Ends the process once nobody can be using the server any more."""
    parent = os.getppid()
    for ending in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(ending, lambda *_: end())

    def watch_stdin():
        try:
            while sys.stdin.buffer.read(1):
                pass
        except OSError:
            pass
        end()

    try:
        if stat.S_ISFIFO(os.fstat(0).st_mode):
            threading.Thread(target=watch_stdin, daemon=True).start()
    except OSError:
        pass

    def watch_folder_and_parent():
        folder = os.path.dirname(status_file) or "."
        while os.path.isdir(folder) and os.getppid() == parent:
            time.sleep(0.2)
        end()

    threading.Thread(target=watch_folder_and_parent, daemon=True).start()


def option(name):
    prefix = "--" + name + "="
    return next((a[len(prefix):] for a in sys.argv[1:] if a.startswith(prefix)), None)


def tls_files():
    """The certificate and key files --tls names, made first when missing; None without --tls."""
    value = option("tls")
    if not value:
        return None
    cert_dir, _, name = value.partition(":")
    sys.path.insert(0, os.path.join(os.path.dirname(HERE), "tests", "support"))
    import tlsserver
    tlsserver.make_certificates(cert_dir)
    return os.path.join(cert_dir, (name or "leaf") + ".pem"), os.path.join(cert_dir, "leaf.key")


def serve_pyftpdlib(root, user, password, status_file):
    try:
        from pyftpdlib import handlers
        from pyftpdlib.authorizers import DummyAuthorizer
        from pyftpdlib.handlers import FTPHandler
        from pyftpdlib.servers import FTPServer
        if option("tls"):
            from pyftpdlib.handlers import TLS_FTPHandler
    except ImportError:
        report(status_file, "missing pyftpdlib")
        return 3

    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, root, perm="elradfmwMT")

    handler = FTPHandler
    tls = tls_files()
    if tls:
        class RequiringTls(TLS_FTPHandler):
            certfile, keyfile = tls
            tls_control_required = True
            tls_data_required = True

        handler = RequiringTls
    if "--cp1252" in sys.argv:
        class Cp1252Handler(FTPHandler):
            # pyftpdlib decodes command lines and encodes replies as UTF-8; the uploader speaks
            # the Windows ANSI code page to a server that does not offer UTF8 (RFC 2640).
            def decode(self, bytes):
                return bytes.decode("cp1252", self.unicode_errors)

            def push(self, s):
                handlers.asynchat.async_chat.push(self, s.encode("cp1252", "replace"))

            def ftp_FEAT(self, line):
                # Answered in one push whose lines are what FTPHandler lists, less UTF8.
                push = self.push
                self.push = lambda s: push(s.replace(" UTF8\r\n", ""))
                try:
                    super().ftp_FEAT(line)
                finally:
                    del self.push

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
    if "--refuse-rest" in sys.argv:
        class RefusingRest(handler):
            def ftp_REST(self, line):
                self.respond("502 Restart not available.")

        handler = RefusingRest
    upload_rate = option("upload-rate")
    if upload_rate:
        # Over TLS the data connections stay TLS ones, throttled as well.
        bases = (handlers.ThrottledDTPHandler,)
        if handler.dtp_handler is not handlers.DTPHandler:
            bases = (handler.dtp_handler,) + bases
        handler.dtp_handler = type("ThrottledReceiver", bases, {"read_limit": int(upload_rate)})
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
    if option("max-per-address"):
        server.max_cons_per_ip = int(option("max-per-address"))
    port = server.socket.getsockname()[1]
    watch(status_file)
    report(status_file, "port %d" % port)
    server.serve_forever(handle_exit=False)
    return 0


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def greets(port):
    """Whether a server on `port` sends a 220 greeting (inside TLS for --implicit)."""
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=2) as s:
            if "--implicit" in sys.argv:
                import ssl
                context = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
                context.check_hostname = False
                context.verify_mode = ssl.CERT_NONE
                s = context.wrap_socket(s)
            return s.makefile("rb").readline().startswith(b"220")
    except OSError:
        return False


def write(path, text, mode=0o644):
    with open(path, "w") as out:
        out.write(text)
    os.chmod(path, mode)


def vsftpd_tls():
    """vsftpd's settings for --tls: TLS required for the login and the data, anonymous too."""
    tls = tls_files()
    if not tls:
        return ""
    settings = f"""ssl_enable=YES
allow_anon_ssl=YES
force_anon_logins_ssl=YES
force_anon_data_ssl=YES
force_local_logins_ssl=YES
force_local_data_ssl=YES
rsa_cert_file={tls[0]}
rsa_private_key_file={tls[1]}
"""
    if "--implicit" in sys.argv:
        settings += "implicit_ssl=YES\n"
    if "--no-tls-reuse" in sys.argv:
        # Wine's SChannel never resumes a TLS session; vsftpd would refuse every data connection
        # with "522 SSL connection failed: session reuse required".
        settings += "require_ssl_reuse=NO\n"
    return settings


def vsftpd(root, user, password, state, port):
    empty = os.path.join(state, "empty")
    os.makedirs(empty, exist_ok=True)
    os.chmod(root, 0o755)  # vsftpd refuses a root its anonymous user could write
    conf = os.path.join(state, "vsftpd.conf")
    write(conf, f"""listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port={port}
background=NO
anonymous_enable=YES
local_enable=NO
no_anon_password=YES
ftp_username=daemon
nopriv_user=nobody
write_enable=YES
anon_upload_enable=YES
anon_mkdir_write_enable=YES
anon_other_write_enable=YES
anon_root={root}
anon_umask=022
pasv_enable=YES
pasv_address=127.0.0.1
seccomp_sandbox=NO
isolate=NO
isolate_network=NO
secure_chroot_dir={empty}
xferlog_enable=NO
dirmessage_enable=NO
""" + vsftpd_tls())
    return [os.path.join(CACHE, "vsftpd/usr/sbin/vsftpd"), conf]


def crypt_hash(password):
    import crypt  # deprecated, still in Debian 12's Python; both servers read crypt(3) hashes
    return crypt.crypt(password, crypt.mksalt(crypt.METHOD_SHA512))


def proftpd(root, user, password, state, port):
    passwd = os.path.join(state, "ftpd.passwd")
    group = os.path.join(state, "ftpd.group")
    write(passwd, f"{user}:{crypt_hash(password)}:{NOBODY}:{NOGROUP}::{root}:/bin/sh\n", 0o600)
    write(group, f"nogroup:x:{NOGROUP}:\n", 0o600)
    conf = os.path.join(state, "proftpd.conf")
    write(conf, f"""ServerType standalone
ServerName "Orvane test proftpd"
DefaultAddress 127.0.0.1
Port {port}
UseIPv6 off
User nobody
Group nogroup
PidFile {state}/proftpd.pid
ScoreboardFile {state}/proftpd.scoreboard
SystemLog {state}/proftpd.log
TransferLog none
WtmpLog off
UseReverseDNS off
DelayEngine off
AuthOrder mod_auth_file.c
AuthUserFile {passwd}
AuthGroupFile {group}
RequireValidShell off
DefaultRoot ~
Umask 022
AllowOverwrite on
""")
    return [os.path.join(CACHE, "proftpd-core/usr/sbin/proftpd"), "-n", "-q", "-c", conf]


def pure_ftpd(root, user, password, state, port):
    # The line pure-pw would write, with a crypt(3) hash: its own argon2 hash takes seconds.
    # "/./" ends the home: the user is chrooted there.
    passwd = os.path.join(state, "pureftpd.passwd")
    database = os.path.join(state, "pureftpd.pdb")
    write(passwd, f"{user}:{crypt_hash(password)}:{NOBODY}:{NOGROUP}::{root}/./::::::::::::\n", 0o600)
    subprocess.run([os.path.join(CACHE, "pure-ftpd/usr/bin/pure-pw"), "mkdb", database, "-f", passwd],
                   check=True, capture_output=True)
    return [os.path.join(CACHE, "pure-ftpd/usr/sbin/pure-ftpd"), "-S", f"127.0.0.1,{port}", "-l",
            f"puredb:{database}", "-E", "-H", "-4", "-g", os.path.join(state, "pure-ftpd.pid")]


REAL_SERVERS = {"vsftpd": vsftpd, "proftpd": proftpd, "pure-ftpd": pure_ftpd}


def serve_real(kind, root, user, password, status_file):
    global server_process
    if os.geteuid() != 0:
        report(status_file, "needs root")
        return 3
    state = os.path.dirname(os.path.abspath(status_file))
    if not all(os.path.exists(os.path.join(CACHE, p, ".unpacked")) for p in ("vsftpd", "proftpd-core", "pure-ftpd")):
        fetched = subprocess.run([os.path.join(HERE, "fetch-servers"), CACHE], capture_output=True, text=True)
        if fetched.returncode != 0:
            report(status_file, "failed: " + " ".join(fetched.stderr.split()))
            return 1
    upload = os.path.join(root, "upload")
    os.makedirs(upload, exist_ok=True)
    if kind == "vsftpd":
        os.chown(upload, DAEMON, DAEMON)
    else:
        for folder in (root, upload):
            os.chown(folder, NOBODY, NOGROUP)
    log = open(os.path.join(state, kind + ".out"), "wb")
    watch(status_file)
    # A free port may be taken by another program before the server binds it: try a few.
    for attempt in range(5):
        port = int(option("port") or 0) or free_port()
        command = REAL_SERVERS[kind](root, user, password, state, port)
        server_process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                          start_new_session=True, preexec_fn=die_with_us)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and server_process.poll() is None and not greets(port):
            time.sleep(0.05)
        if server_process.poll() is None and greets(port):
            report(status_file, "port %d" % port)
            server_process.wait()
            report(status_file, "failed: the server ended")
            end(1)
        failed, server_process = server_process, None
        try:
            os.killpg(failed.pid, signal.SIGKILL)
        except OSError:
            pass
        failed.wait()
    log.close()
    with open(os.path.join(state, kind + ".out"), errors="replace") as out:
        report(status_file, "failed: " + " ".join(out.read().split())[-300:])
    return 1


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    kind = option("server") or "pyftpdlib"
    if len(args) != 4 or kind not in ("pyftpdlib", *REAL_SERVERS):
        print(__doc__, file=sys.stderr)
        return 2
    root, user, password, status_file = args
    if kind == "pyftpdlib":
        return serve_pyftpdlib(root, user, password, status_file)
    return serve_real(kind, root, user, password, status_file)


if __name__ == "__main__":
    sys.exit(main())
