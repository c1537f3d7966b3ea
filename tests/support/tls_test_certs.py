#!/usr/bin/python3
"""Makes the certificates of the HTTPS tests, fresh for every run, with the openssl tool.

Run: /usr/bin/python3 tls_test_certs.py DIR
Writes into DIR (created when missing):
  ca.pem                 the test authority that the tests trust (SSL_CERT_FILE points here)
  good.pem, good.key     for 127.0.0.1 and localhost, signed by the test authority
  wronghost.pem/.key     for wrong.example only, signed by the test authority
  expired.pem/.key       for 127.0.0.1, signed by the test authority, valid only in January 2020
  unknown.pem/.key       for 127.0.0.1, signed by another authority that nobody trusts
Keys never leave DIR; nothing here is meant to outlive the test that made it.
"""

import os
import subprocess
import sys
import tempfile

CA_CONFIG = """
[ca]
default_ca = test_ca
[test_ca]
dir = {dir}
database = {dir}/index.txt
new_certs_dir = {dir}
serial = {dir}/serial
default_md = sha256
policy = any
copy_extensions = none
unique_subject = no
[any]
commonName = supplied
[authority]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[server]
basicConstraints = CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = serverAuth
subjectAltName = {san}
authorityKeyIdentifier = keyid
"""


def openssl(*args):
    subprocess.run(["openssl"] + list(args), check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.PIPE)


def sign(work, out, name, ca, common_name, san, start, end, extensions):
    """Makes out/name.pem (and .key unless it is an authority's) signed by `ca` (None: itself)."""
    ca_dir = os.path.join(work, ca or name)
    os.makedirs(ca_dir, exist_ok=True)
    if not os.path.exists(os.path.join(ca_dir, "index.txt")):
        open(os.path.join(ca_dir, "index.txt"), "w").close()
        with open(os.path.join(ca_dir, "serial"), "w") as f:
            f.write("%x\n" % (0x1000 + len(os.listdir(work))))
    config = os.path.join(work, name + ".cnf")
    with open(config, "w") as f:
        f.write(CA_CONFIG.format(dir=ca_dir, san=san or "DNS:unused.invalid"))
    key = os.path.join(out if extensions == "server" else work, name + ".key")
    csr = os.path.join(work, name + ".csr")
    # EC keys: made in milliseconds, where RSA would cost every test a second.
    openssl("req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
            "-keyout", key, "-out", csr,
            "-subj", "/CN=" + common_name)
    cert = os.path.join(out, name + ".pem")
    args = ["ca", "-batch", "-notext", "-config", config, "-in", csr, "-out", cert,
            "-startdate", start, "-enddate", end, "-extensions", extensions]
    if ca is None:
        args += ["-selfsign", "-keyfile", key]
    else:
        args += ["-cert", os.path.join(out if ca == "ca" else work, ca + ".pem"),
                 "-keyfile", os.path.join(work, ca + ".key")]
    openssl(*args)


def main():
    out = os.path.abspath(sys.argv[1])
    os.makedirs(out, exist_ok=True)
    with tempfile.TemporaryDirectory(dir=out) as work:
        # Valid from 2020 to 2099, so that no clock in a test machine falls outside.
        long_ago, far_ahead = "20200101000000Z", "20991231235959Z"
        sign(work, out, "ca", None, "Trawlkit Test CA", None, long_ago, far_ahead, "authority")
        sign(work, work, "other", None, "Nobody's CA", None, long_ago, far_ahead, "authority")
        local = "IP:127.0.0.1, DNS:localhost"
        sign(work, out, "good", "ca", "127.0.0.1", local, long_ago, far_ahead, "server")
        sign(work, out, "wronghost", "ca", "wrong.example", "DNS:wrong.example", long_ago, far_ahead,
             "server")
        sign(work, out, "expired", "ca", "127.0.0.1", local, long_ago, "20200131000000Z", "server")
        sign(work, out, "unknown", "other", "127.0.0.1", local, long_ago, far_ahead, "server")
    print("OK")


if __name__ == "__main__":
    main()
