#!/usr/bin/python3
"""tlsserver.py CERT_DIR STATE_DIR: TLS services on loopback for the tests, one port each.

Makes the CA ("ca.pem", "ca.der"), the certificates and "<certificate>.facts" once per CERT_DIR.
Reports "ports SERVICE=PORT ..." in STATE_DIR/status and each event as a line of STATE_DIR/log
("SERVICE handshake VERSION resumed=0|1", "handshake-failed", "close-alert", "eof", "cut",
"error"). A connection echoes until the client's close alert, which it answers; "CLOSE\n" makes
it answer "closing\n" and close with an alert, "DROP\n" "dropping\n" and close without. The
listing services send LISTING, as an FTP server a listing, and close with an alert or without.
Ends when STATE_DIR disappears, its standard input closes, or its parent ends.
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
V1_2, NEWEST = ssl.TLSVersion.TLSv1_2, ssl.TLSVersion.MAXIMUM_SUPPORTED

# service: (certificate, minimum version, maximum version)
SERVICES = {
    "trusted": ("leaf", V1_2, NEWEST),  # localhost and 127.0.0.1, from the CA
    "tls12": ("leaf", V1_2, V1_2),
    "tls11": ("leaf", ssl.TLSVersion.TLSv1, ssl.TLSVersion.TLSv1_1),
    "expired": ("expired", V1_2, NEWEST),  # valid only in 2020
    "other-name": ("other-name", V1_2, NEWEST),  # other.example
    "self-signed": ("self-signed", V1_2, NEWEST),
    "unknown-issuer": ("unknown-issuer", V1_2, NEWEST),  # from a CA nobody is given
    "listing": ("leaf", V1_2, NEWEST),
    "listing-cut": ("leaf", V1_2, NEWEST),
}

# More than one record's worth.
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


def openssl(cwd, *args):
    return subprocess.run(("openssl",) + args, cwd=cwd, check=True, capture_output=True, text=True).stdout


def issue(cwd, name, common_name, hosts, *signing):
    """Makes NAME.pem for the shared leaf key, signed by itself or as SIGNING says."""
    openssl(cwd, "req", "-x509", "-key", "leaf.key", "-out", name + ".pem", "-days", "365", "-subj",
            "/O=Orvane Tests/CN=" + common_name, "-addext", "subjectAltName=" + hosts,
            "-addext", "basicConstraints=critical,CA:FALSE", *signing)


def write_facts(cwd, name):
    def field(*options):
        return openssl(cwd, "x509", "-in", name + ".pem", "-noout", *options).strip().split("=", 1)[1]
    with open(os.path.join(cwd, name + ".facts"), "w") as out:
        out.write("fingerprint %s\nnotbefore %d\nnotafter %d\n" % (
            field("-fingerprint", "-sha256"), ssl.cert_time_to_seconds(field("-startdate")),
            ssl.cert_time_to_seconds(field("-enddate"))))


def make_certificates(cwd):
    if os.path.exists(os.path.join(cwd, "ready")):
        return
    for ca, name in (("ca", "Orvane Test CA"), ("stranger", "Orvane Stranger CA")):
        openssl(cwd, "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", ca + ".key", "-out", ca + ".pem",
                "-subj", "/O=Orvane Tests/CN=" + name, "-days", "3650")
    openssl(cwd, "x509", "-in", "ca.pem", "-outform", "DER", "-out", "ca.der")
    openssl(cwd, "genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:2048", "-out", "leaf.key")
    issue(cwd, "leaf", "localhost", HOSTS, "-CA", "ca.pem", "-CAkey", "ca.key")
    issue(cwd, "other-name", "other.example", "DNS:other.example", "-CA", "ca.pem", "-CAkey", "ca.key")
    issue(cwd, "unknown-issuer", "localhost", HOSTS, "-CA", "stranger.pem", "-CAkey", "stranger.key")
    issue(cwd, "self-signed", "localhost", HOSTS)
    # Only the ca command signs for a time in the past.
    os.makedirs(os.path.join(cwd, "ca.db"), exist_ok=True)
    open(os.path.join(cwd, "ca.db", "index.txt"), "w").close()
    with open(os.path.join(cwd, "ca.db", "serial"), "w") as out:
        out.write("1000\n")
    with open(os.path.join(cwd, "ca.cnf"), "w") as out:
        out.write(CA_CONFIG.format(dir=os.path.join(cwd, "ca.db")))
    with open(os.path.join(cwd, "expired.ext"), "w") as out:
        out.write("basicConstraints = CA:FALSE\nsubjectAltName = " + HOSTS + "\n")
    openssl(cwd, "req", "-new", "-key", "leaf.key", "-out", "expired.csr", "-subj", "/O=Orvane Tests/CN=localhost")
    openssl(cwd, "ca", "-batch", "-notext", "-preserveDN", "-config", "ca.cnf", "-cert", "ca.pem", "-keyfile", "ca.key",
            "-in", "expired.csr", "-out", "expired.pem", "-extfile", "expired.ext", "-startdate", "20200101000000Z", "-enddate", "20201231000000Z")
    for name in ("leaf", "expired", "other-name", "unknown-issuer", "self-signed"):
        write_facts(cwd, name)
    open(os.path.join(cwd, "ready"), "w").close()


def serve_connection(tls_context, connection, service, log):
    connection.settimeout(20)
    try:
        tls = tls_context.wrap_socket(connection, server_side=True, suppress_ragged_eofs=False)
    except (ssl.SSLError, OSError) as error:
        log("%s handshake-failed %s" % (service, getattr(error, "reason", None) or error))
        connection.close()
        return
    log("%s handshake %s resumed=%d" % (service, tls.version(), tls.session_reused))
    try:
        if service.startswith("listing"):
            tls.sendall(LISTING)
            if service == "listing":
                tls.unwrap()  # our close alert, then the client's
            log(service + (" close-alert" if service == "listing" else " cut"))
            return
        while True:
            data = tls.recv(65536)
            if not data:
                log(service + " close-alert")
                tls.unwrap()  # answers with ours
                break
            if data in (b"CLOSE\n", b"DROP\n"):
                tls.sendall(b"closing\n" if data == b"CLOSE\n" else b"dropping\n")
                if data == b"CLOSE\n":
                    tls.unwrap()  # sends ours
                break
            tls.sendall(data)
    except (ssl.SSLError, OSError) as error:
        if isinstance(error, ssl.SSLEOFError) or getattr(error, "reason", None) == "UNEXPECTED_EOF_WHILE_READING":
            log(service + " eof")
        else:
            log("%s error %s" % (service, error))
    finally:
        tls.close()


def serve(listener, tls_context, service, log):
    while True:
        connection, _ = listener.accept()
        threading.Thread(target=serve_connection, args=(tls_context, connection, service, log), daemon=True).start()


def context_for(cert_dir, certificate, minimum, maximum):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    if minimum < V1_2:
        context.set_ciphers("DEFAULT:@SECLEVEL=0")  # OpenSSL 3 offers TLS 1.0 and 1.1 only so
    # Debian's default takes a connection that ends without a close alert for a closed one.
    context.options &= ~ssl.OP_IGNORE_UNEXPECTED_EOF
    context.minimum_version = minimum
    context.maximum_version = maximum
    context.load_cert_chain(os.path.join(cert_dir, certificate + ".pem"), os.path.join(cert_dir, "leaf.key"))
    return context


def watch(state_dir):
    """Ends the process once nobody can be using the server any more."""
    parent = os.getppid()

    def watch_stdin():
        try:
            while sys.stdin.buffer.read(1):
                pass
        finally:
            os._exit(0)

    def watch_folder_and_parent():
        while os.path.isdir(state_dir) and os.getppid() == parent:
            time.sleep(0.2)
        os._exit(0)

    try:
        if stat.S_ISFIFO(os.fstat(0).st_mode):  # under Wine it is no pipe, and ends at once
            threading.Thread(target=watch_stdin, daemon=True).start()
    except OSError:
        pass
    threading.Thread(target=watch_folder_and_parent, daemon=True).start()


def main():
    cert_dir, state_dir = (os.path.abspath(folder) for folder in sys.argv[1:3])
    watch(state_dir)
    make_certificates(cert_dir)
    log_fd = os.open(os.path.join(state_dir, "log"), os.O_WRONLY | os.O_CREAT | os.O_APPEND, 0o644)

    def log(line):
        os.write(log_fd, (line + "\n").encode())  # one append per line: lines of threads never mix

    ports = []
    for service, (certificate, minimum, maximum) in SERVICES.items():
        listener = socket.create_server(("127.0.0.1", 0), backlog=16)
        tls_context = context_for(cert_dir, certificate, minimum, maximum)
        threading.Thread(target=serve, args=(listener, tls_context, service, log), daemon=True).start()
        ports.append("%s=%d" % (service, listener.getsockname()[1]))
    status = os.path.join(state_dir, "status")
    with open(status + ".tmp", "w") as out:
        out.write("ports " + " ".join(ports) + "\n")
    os.replace(status + ".tmp", status)  # the test never reads half a line
    threading.Event().wait()


if __name__ == "__main__":
    sys.exit(main())
