#!/usr/bin/env bash
# sign-windows.sh FILE...: signs each DLL or Windows Installer package in place (Authenticode,
# SHA-256, with osslsigncode) when the environment names a certificate and its key:
#
#   TOBRUNEL_SIGNING_CERT           the code-signing certificate, with its chain (PEM)
#   TOBRUNEL_SIGNING_KEY            its private key (PEM)
#   TOBRUNEL_SIGNING_KEY_PASSWORD   the key's password, when the key is encrypted
#   TOBRUNEL_SIGNING_TIMESTAMP_URL  a time-stamping server (RFC 3161), so that the signature
#                                   outlives the certificate; none by default
#
# Without the certificate and the key it signs nothing and says so in one line. A signature
# holds the time of signing, so signed files differ from run to run; unsigned ones do not.
set -euo pipefail

if [[ -z "${TOBRUNEL_SIGNING_CERT:-}" || -z "${TOBRUNEL_SIGNING_KEY:-}" ]]; then
    echo "sign-windows: unsigned (set TOBRUNEL_SIGNING_CERT and TOBRUNEL_SIGNING_KEY to sign)" >&2
    exit 0
fi
options=(-certs "$TOBRUNEL_SIGNING_CERT" -key "$TOBRUNEL_SIGNING_KEY" -h sha256)
[[ -z "${TOBRUNEL_SIGNING_KEY_PASSWORD:-}" ]] || options+=(-pass "$TOBRUNEL_SIGNING_KEY_PASSWORD")
[[ -z "${TOBRUNEL_SIGNING_TIMESTAMP_URL:-}" ]] || options+=(-ts "$TOBRUNEL_SIGNING_TIMESTAMP_URL")
for file in "$@"; do
    osslsigncode sign "${options[@]}" -in "$file" -out "$file.signed" >/dev/null
    mv "$file.signed" "$file"
    echo "sign-windows: signed $file" >&2
done
