#!/usr/bin/python3
"""A TLS server for the tests: python's ssl module on loopback, one port per service, with
certificates it makes with the openssl command.

Usage: tlsserver.py CERT_DIR STATE_DIR

Unless CERT_DIR holds them already, makes a small CA ("ca.pem", "ca.der") and the server
certificates of the services, and writes "<service>.facts" for each: "fingerprint AB:CD:...",
"notbefore SECONDS", "notafter SECONDS" (seconds since 1970, UTC).

Services (each on its own port):
  trusted         localhost and 127.0.0.1, from the CA; TLS 1.2 and 1.3
  tls12           the same certificate, TLS 1.2 only
  tls11           the same certificate, TLS 1.0 and 1.1 only
  expired         localhost and 127.0.0.1, from the CA, valid only in 2020
  other-name      other.example, from the CA
  self-signed     localhost and 127.0.0.1, signed by itself
  unknown-issuer  localhost and 127.0.0.1, from a CA nobody is given
  listing         as trusted, but sends LISTING at once and then its close alert, as an FTP
                  server ends a listing on a TLS data connection
  listing-cut     the same without the close alert: the connection just ends

Writes "ports SERVICE=PORT ..." to STATE_DIR/status once it listens, and one line per event to
STATE_DIR/log: "SERVICE handshake VERSION resumed=0|1", "SERVICE handshake-failed REASON",
"SERVICE close-alert" (the client's close alert came), "SERVICE eof" (the connection ended
without one), "SERVICE error TEXT".

Each connection echoes what it receives until the client's close alert, which it answers with
its own. A record "CLOSE\\n" makes it send "closing\\n" and its close alert first; "DROP\\n" makes
it send "dropping\\n" and end the connection without one.

Ends when STATE_DIR disappears, its standard input closes, or its parent ends. The files are there
because a Linux program that Wine starts does not write to the pipes the Windows test hands it.
"""
import os
import socket
import ssl
import stat
import subprocess
import sys
import threading
import time
import warnings

warnings.simplefilter("ignore", DeprecationWarning)  # TLS 1.0 and 1.1 are served on purpose

HOSTS = "DNS:localhost,IP:127.0.0.1"

# service: (certificate, minimum version, maximum version)
SERVICES = {
    "trusted": ("leaf", ssl.TLSVersion.TLSv1_2, ssl.TLSVersion.MAXIMUM_SUPPORTED),
    "tls12": ("leaf", ssl.TLSVersion.TLSv1_2, ssl.TLSVersion.TLSv1_2),
    "tls11": ("leaf", ssl.TLSVersion.TLSv1, ssl.TLSVersion.TLSv1_1),
    "expired": ("expired", ssl.TLSVersion.TLSv1_2, ssl.TLSVersion.MAXIMUM_SUPPORTED),
    "other-name": ("other-name", ssl.TLSVersion.TLSv1_2, ssl.TLSVersion.MAXIMUM_SUPPORTED),
    "self-signed": ("self-signed", ssl.TLSVersion.TLSv1_2, ssl.TLSVersion.MAXIMUM_SUPPORTED),
    "unknown-issuer": ("unknown-issuer", ssl.TLSVersion.TLSv1_2, ssl.TLSVersion.MAXIMUM_SUPPORTED),
    "listing": ("leaf", ssl.TLSVersion.TLSv1_2, ssl.TLSVersion.MAXIMUM_SUPPORTED),
    "listing-cut": ("leaf", ssl.TLSVersion.TLSv1_2, ssl.TLSVersion.MAXIMUM_SUPPORTED),
}

# What the listing services send: more than one record's worth.
LISTING = b"".join(b"-rw-r--r-- 1 ftp ftp %5d Jan 01 00:00 file %03d.txt\r\n" % (i * 7, i) for i in range(400))

CA_CONFIG = """[ca]
default_ca = test
[test]
database = {dir}/index.txt
serial = {dir}/serial
new_certs_dir = {dir}
default_md = sha256
policy = any
unique_subject = no
[any]
organizationName = optional
commonName = supplied
"""


def openssl(*args, cwd):
    subprocess.run(("openssl",) + args, cwd=cwd, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def make_ca(cwd, name, subject):
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", name + ".key",
            "-out", name + ".pem", "-subj", subject, "-days", "3650", cwd=cwd)
    folder = os.path.join(cwd, name + ".db")
    os.makedirs(folder, exist_ok=True)
    open(os.path.join(folder, "index.txt"), "w").close()
    with open(os.path.join(folder, "serial"), "w") as out:
        out.write("1000\n")
    with open(os.path.join(cwd, name + ".cnf"), "w") as out:
        out.write(CA_CONFIG.format(dir=folder))


def issue(cwd, ca, name, common_name, hosts, dates):
    """Makes NAME.pem for the shared leaf key, signed by CA, valid for DATES."""
    with open(os.path.join(cwd, name + ".ext"), "w") as out:
        out.write("basicConstraints = CA:FALSE\nsubjectAltName = " + hosts + "\n")
    openssl("req", "-new", "-key", "leaf.key", "-out", name + ".csr",
            "-subj", "/O=Orvane Tests/CN=" + common_name, cwd=cwd)
    openssl("ca", "-batch", "-notext", "-preserveDN", "-config", ca + ".cnf", "-cert", ca + ".pem",
            "-keyfile", ca + ".key", "-in", name + ".csr", "-out", name + ".pem",
            "-extfile", name + ".ext", *dates, cwd=cwd)


def write_facts(cwd, name):
    def field(*options):
        result = subprocess.run(("openssl", "x509", "-in", name + ".pem", "-noout") + options,
                                cwd=cwd, check=True, capture_output=True, text=True)
        return result.stdout.strip().split("=", 1)[1]
    lines = ["fingerprint " + field("-fingerprint", "-sha256"),
             "notbefore %d" % ssl.cert_time_to_seconds(field("-startdate")),
             "notafter %d" % ssl.cert_time_to_seconds(field("-enddate"))]
    with open(os.path.join(cwd, name + ".facts"), "w") as out:
        out.write("\n".join(lines) + "\n")


def make_certificates(cwd):
    if os.path.exists(os.path.join(cwd, "ready")):
        return
    make_ca(cwd, "ca", "/O=Orvane Tests/CN=Orvane Test CA")
    make_ca(cwd, "stranger", "/O=Orvane Tests/CN=Orvane Stranger CA")
    openssl("x509", "-in", "ca.pem", "-outform", "DER", "-out", "ca.der", cwd=cwd)
    openssl("genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:2048", "-out", "leaf.key",
            cwd=cwd)
    now = ("-days", "365")
    issue(cwd, "ca", "leaf", "localhost", HOSTS, now)
    issue(cwd, "ca", "expired", "localhost", HOSTS, ("-startdate", "20200101000000Z",
                                                     "-enddate", "20201231000000Z"))
    issue(cwd, "ca", "other-name", "other.example", "DNS:other.example", now)
    issue(cwd, "stranger", "unknown-issuer", "localhost", HOSTS, now)
    openssl("req", "-x509", "-key", "leaf.key", "-out", "self-signed.pem", "-days", "365",
            "-subj", "/O=Orvane Tests/CN=localhost", "-addext", "subjectAltName=" + HOSTS,
            "-addext", "basicConstraints=critical,CA:FALSE", cwd=cwd)
    for name in ("leaf", "expired", "other-name", "unknown-issuer", "self-signed"):
        write_facts(cwd, name)
    open(os.path.join(cwd, "ready"), "w").close()


class Log:
    def __init__(self, path):
        self.fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_APPEND, 0o644)
        self.lock = threading.Lock()

    def write(self, line):
        with self.lock:
            os.write(self.fd, (line + "\n").encode())


def serve_connection(tls_context, connection, service, log):
    connection.settimeout(20)
    try:
        tls = tls_context.wrap_socket(connection, server_side=True, suppress_ragged_eofs=False)
    except (ssl.SSLError, OSError) as error:
        log.write("%s handshake-failed %s" % (service, getattr(error, "reason", None) or error))
        connection.close()
        return
    log.write("%s handshake %s resumed=%d" % (service, tls.version(), tls.session_reused))
    if service.startswith("listing"):
        serve_listing(tls, service, log)
        return
    try:
        while True:
            data = tls.recv(65536)
            if not data:
                log.write(service + " close-alert")
                tls.unwrap()  # answers with ours
                break
            if data == b"CLOSE\n":
                tls.sendall(b"closing\n")
                tls.unwrap()  # sends ours
                break
            if data == b"DROP\n":
                tls.sendall(b"dropping\n")
                break
            tls.sendall(data)
    except (ssl.SSLError, OSError) as error:
        if isinstance(error, ssl.SSLEOFError) or getattr(error, "reason", None) == "UNEXPECTED_EOF_WHILE_READING":
            log.write(service + " eof")
        else:
            log.write("%s error %s" % (service, error))
    finally:
        tls.close()


def serve_listing(tls, service, log):
    try:
        tls.sendall(LISTING)
        if service == "listing":
            tls.unwrap()  # our close alert, then the client's
            log.write(service + " close-alert")
        else:
            log.write(service + " cut")
    except (ssl.SSLError, OSError) as error:
        log.write("%s error %s" % (service, error))
    finally:
        tls.close()


def serve(listener, tls_context, service, log):
    while True:
        connection, _ = listener.accept()
        threading.Thread(target=serve_connection, args=(tls_context, connection, service, log),
                         daemon=True).start()


def context_for(cert_dir, certificate, minimum, maximum):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    if minimum < ssl.TLSVersion.TLSv1_2:
        context.set_ciphers("DEFAULT:@SECLEVEL=0")  # OpenSSL 3 offers TLS 1.0 and 1.1 only so
    # Debian's default takes a connection that ends without a close alert for a closed one.
    context.options &= ~ssl.OP_IGNORE_UNEXPECTED_EOF
    context.minimum_version = minimum
    context.maximum_version = maximum
    context.load_cert_chain(os.path.join(cert_dir, certificate + ".pem"),
                            os.path.join(cert_dir, "leaf.key"))
    return context


def watch(state_dir):
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
        while os.path.isdir(state_dir) and os.getppid() == parent:
            time.sleep(0.2)
        os._exit(0)

    threading.Thread(target=watch_folder_and_parent, daemon=True).start()


def report(status_file, line):
    temporary = status_file + ".tmp"
    with open(temporary, "w") as out:
        out.write(line + "\n")
    os.replace(temporary, status_file)  # the test never reads half a line


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    cert_dir, state_dir = (os.path.abspath(folder) for folder in sys.argv[1:])
    watch(state_dir)
    make_certificates(cert_dir)
    log = Log(os.path.join(state_dir, "log"))
    ports = []
    for service, (certificate, minimum, maximum) in SERVICES.items():
        listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        listener.bind(("127.0.0.1", 0))
        listener.listen(16)
        tls_context = context_for(cert_dir, certificate, minimum, maximum)
        threading.Thread(target=serve, args=(listener, tls_context, service, log),
                         daemon=True).start()
        ports.append("%s=%d" % (service, listener.getsockname()[1]))
    report(os.path.join(state_dir, "status"), "ports " + " ".join(ports))
    threading.Event().wait()


if __name__ == "__main__":
    sys.exit(main())
