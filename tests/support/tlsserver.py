#!/usr/bin/python3
"""tlsserver.py CERT_DIR STATE_DIR: TLS services on loopback for the tests, one port each.

Makes the CA and the certificates, with "<certificate>.facts", once per CERT_DIR. Writes "ports
SERVICE=PORT ..." to STATE_DIR/status and each event as a line of STATE_DIR/log. A connection
echoes until the client's close alert, which it answers; the listing services send LISTING and
close with an alert or without. Ends when STATE_DIR disappears or its parent ends.
"""
import os
import socket
import ssl
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

# Only the ca command signs for a time in the past.
CA_CONFIG = """[ca]
default_ca = test
[test]
database = index.txt
serial = serial
policy = any
[any]
[expired]
basicConstraints = CA:FALSE
subjectAltName = """ + HOSTS + "\n"


def openssl(cwd, *args):
    return subprocess.run(("openssl",) + args, cwd=cwd, check=True, capture_output=True, text=True).stdout


def issue(cwd, name, common_name, hosts, *signing):
    """Makes NAME.pem for the shared leaf key, signed by itself or as SIGNING says."""
    openssl(cwd, "req", "-x509", "-key", "leaf.key", "-out", name + ".pem", "-days", "365", "-subj",
            "/O=Orvane Tests/CN=" + common_name, "-addext", "subjectAltName=" + hosts,
            "-addext", "basicConstraints=critical,CA:FALSE", *signing)


def write_facts(cwd, name):
    lines = openssl(cwd, "x509", "-in", name + ".pem", "-noout", "-fingerprint", "-sha256", "-startdate", "-enddate")
    fingerprint, start, end = (line.split("=", 1)[1] for line in lines.splitlines())  # in the order asked
    with open(os.path.join(cwd, name + ".facts"), "w") as out:
        out.write("fingerprint %s\nnotbefore %d\nnotafter %d\n" % (
            fingerprint, ssl.cert_time_to_seconds(start), ssl.cert_time_to_seconds(end)))


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
    open(os.path.join(cwd, "index.txt"), "w").close()
    with open(os.path.join(cwd, "ca.cnf"), "w") as out:
        out.write(CA_CONFIG)
    openssl(cwd, "ca", "-batch", "-notext", "-preserveDN", "-rand_serial", "-md", "sha256", "-outdir", ".", "-config",
            "ca.cnf", "-cert", "ca.pem", "-keyfile", "ca.key", "-ss_cert", "self-signed.pem", "-out", "expired.pem",
            "-extensions", "expired", "-startdate", "20200101000000Z", "-enddate", "20201231000000Z")
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
    log("%s handshake %s" % (service, tls.version()))
    try:
        if service.startswith("listing"):
            tls.sendall(LISTING)
            if service == "listing":
                tls.unwrap()  # our close alert, then the client's
            log(service + (" close-alert" if service == "listing" else " cut"))
            return
        while data := tls.recv(65536):  # empty only at the client's close alert
            tls.sendall(data)
        log(service + " close-alert")
        tls.unwrap()  # answers with ours
    except (ssl.SSLError, OSError) as error:
        log("%s error %s" % (service, error))
    finally:
        tls.close()


def serve(listener, cert_dir, service, log):
    certificate, minimum, maximum = SERVICES[service]
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    if minimum < V1_2:
        context.set_ciphers("DEFAULT:@SECLEVEL=0")  # OpenSSL 3 offers TLS 1.0 and 1.1 only so
    # Debian's default takes a connection that ends without a close alert for a closed one.
    context.options &= ~ssl.OP_IGNORE_UNEXPECTED_EOF
    context.minimum_version = minimum
    context.maximum_version = maximum
    context.load_cert_chain(os.path.join(cert_dir, certificate + ".pem"), os.path.join(cert_dir, "leaf.key"))
    while True:
        connection, _ = listener.accept()
        threading.Thread(target=serve_connection, args=(context, connection, service, log), daemon=True).start()


def main():
    cert_dir, state_dir = (os.path.abspath(folder) for folder in sys.argv[1:3])
    parent = os.getppid()
    make_certificates(cert_dir)
    log_fd = os.open(os.path.join(state_dir, "log"), os.O_WRONLY | os.O_CREAT | os.O_APPEND, 0o644)

    def log(line):
        os.write(log_fd, (line + "\n").encode())  # one append per line: lines of threads never mix

    ports = []
    for service in SERVICES:
        listener = socket.create_server(("127.0.0.1", 0), backlog=16)
        threading.Thread(target=serve, args=(listener, cert_dir, service, log), daemon=True).start()
        ports.append("%s=%d" % (service, listener.getsockname()[1]))
    status = os.path.join(state_dir, "status")
    with open(status + ".tmp", "w") as out:
        out.write("ports " + " ".join(ports) + "\n")
    os.replace(status + ".tmp", status)  # the test never reads half a line
    while os.path.isdir(state_dir) and os.getppid() == parent:  # someone may still use the server
        time.sleep(0.2)
    os._exit(0)


if __name__ == "__main__":
    sys.exit(main())
