# Release configuration of the demo: setup.exe carrying the demo installer, its ten verification
# servers the local nginx of scripts/demo, unsigned. A maker copies this file, fills in the real
# values and runs
#
#   scripts/release my-release.cmake OUTDIR
#
# CMake reads the file as an initial cache (cmake -C) for both programs of the release, the native
# qor and setup.exe, so the same servers and answer key are compiled into both. Paths may be
# absolute or written from ${CMAKE_CURRENT_LIST_DIR}, the folder of this file. Every field is
# described in docs/RELEASING.md.

# What setup.exe carries: the maker's installer, packed at build time under the name instPG.exe
# (empty: the demo installer built from tools/demo-installer) ...
set(QOR_SETUP_INSTALLER "" CACHE FILEPATH "Installer embedded in setup.exe")
# ... or a package already made with `qor pack`, embedded byte for byte (it wins over the
# installer).
set(QOR_SETUP_PACKAGE "" CACHE FILEPATH "Prepared install package embedded in setup.exe")

# The ten verification base URLs E1..E10, each "http://host/" (a port is allowed), in lower case.
# E1, E2, E4, E5 are the maker's verification hosts, E3 its main web site (also the address of the
# download link), E6..E9 mirrors, E10 the second web site.
set(QOR_SERVER_URLS
    "http://127.0.0.1:47640/;http://127.0.0.1:47640/;http://127.0.0.1:47640/;http://127.0.0.1:47640/;http://127.0.0.1:47640/;http://127.0.0.1:47640/;http://127.0.0.1:47640/;http://127.0.0.1:47640/;http://127.0.0.1:47640/;http://127.0.0.1:47640/"
    CACHE STRING "The ten verification base URLs E1..E10")

# The answer key, Multiplier;Increment;StartKey. `qor answer` refuses a key under which an answer
# would not survive the client's lower-casing, trimming and unescaping.
set(QOR_ANSWER_KEY "7;20659;21449" CACHE STRING "Answer key: Multiplier;Increment;StartKey")

# Code signing (optional; all empty: not signed), in one of three ways. The certificate (chain) as
# a PEM or DER file, and
# - its private key as a file, with a password file when the key is encrypted (a private CA or
#   tests: a publicly trusted certificate's key lives in hardware and never becomes a file);
set(QOR_SIGN_CERT "" CACHE FILEPATH "Code-signing certificate (chain)")
set(QOR_SIGN_KEY "" CACHE FILEPATH "Private key of the code-signing certificate")
set(QOR_SIGN_PASS_FILE "" CACHE FILEPATH "File holding the key's password")
# - or the key on a token or HSM: its PKCS#11 module, the key's pkcs11: URI, the certificate's URI
#   when the token holds it (else QOR_SIGN_CERT), and a file holding the PIN, never the PIN;
set(QOR_SIGN_PKCS11_MODULE "" CACHE FILEPATH "PKCS#11 module of the token or HSM")
set(QOR_SIGN_PKCS11_KEY "" CACHE STRING "pkcs11: URI of the signing key")
set(QOR_SIGN_PKCS11_CERT "" CACHE STRING "pkcs11: URI of the certificate on the token")
set(QOR_SIGN_PIN_FILE "" CACHE FILEPATH "File holding the token's PIN")
# - or a signing service's command, called with the unsigned and the signed path appended;
#   QOR_SIGN_CERT is the certificate the service signs with.
set(QOR_SIGN_COMMAND "" CACHE STRING "Command that signs UNSIGNED into SIGNED")
# The signing time written into the signature, as Unix time. Empty: SOURCE_DATE_EPOCH, else the
# time of the last commit, so that a rebuild signs byte-identically.
set(QOR_SIGN_TIME "" CACHE STRING "Signing time (Unix time)")
# Trust anchors scripts/sign verifies the signature against (empty: the system's CA bundle).
set(QOR_SIGN_CAFILE "" CACHE FILEPATH "CA certificates for checking the signature")
# A time-stamping server (RFC 3161). Its countersignature outlives the certificate, but carries
# the server's time, so a rebuild then differs from the published file in the signature.
set(QOR_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamping server")
# Trust anchors of the time-stamping server's certificate (empty: the system's CA bundle).
set(QOR_SIGN_TSA_CAFILE "" CACHE FILEPATH "CA certificates for checking the time-stamp")
