#!/usr/bin/env bash
# Exports a table with qry from a page on a real HTTPS server: nginx on
# 127.0.0.1 with a certificate from a throwaway authority that qry is told
# to trust through QUARRY_CA_FILE. Also checks that qry refuses the same
# server when the authority is not trusted, so verification is really on.
#
# usage: qry_https_check.sh QRY PEER_LAUNCH
# Exit status 0 on success, 77 when nginx or openssl is not installed
# (1 instead when QUARRY_REQUIRE_PEERS is set to anything but 0, as in CI,
# so that a machine missing a package cannot pass quietly).
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 QRY PEER_LAUNCH" >&2
  exit 2
fi
qry=$1
launch=$2

work=$(mktemp -d "${TMPDIR:-/tmp}/quarry-qry-https.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/www" "$work/home/.config"

# qry must not read or write the user's own settings.
export HOME="$work/home"
export XDG_CONFIG_HOME="$work/home/.config"
export ZT_REGISTRY_FILE="$work/home/settings.db"
unset QUARRY_CA_FILE CURL_CA_BUNDLE SSL_CERT_FILE SSL_CERT_DIR \
  http_proxy https_proxy HTTP_PROXY HTTPS_PROXY ALL_PROXY all_proxy || true

cat > "$work/www/page.html" <<'EOF'
<html><head><title>Prices</title></head><body>
<table id="prices" border="1">
<tr><th>Item</th><th>Price</th></tr>
<tr><td>Lamp</td><td>12</td></tr>
<tr><td>Desk, oak</td><td>140</td></tr>
</table>
</body></html>
EOF

# Runs inside peer_launch, which exports PEER_PORT and PEER_CA_FILE.
inner=$(cat <<'EOF'
set -u
qry=$1 out=$2
url="https://127.0.0.1:$PEER_PORT/page.html"
if "$qry" export "$url" --table 1 -o "$out.untrusted" 2> "$out.untrusted.err"; then
  echo "qry accepted a certificate from an authority it was not told to trust" >&2
  exit 1
fi
QUARRY_CA_FILE="$PEER_CA_FILE" "$qry" export "$url" --table 1 -o "$out"
EOF
)

status=0
"$launch" nginx-tls --root "$work/www" --timeout 60 -- \
  bash -c "$inner" inner "$qry" "$work/out.csv" || status=$?
if [ "$status" -eq 77 ] && [ -n "${QUARRY_REQUIRE_PEERS:-}" ] && [ "${QUARRY_REQUIRE_PEERS}" != 0 ]; then
  echo "nginx is not available, and QUARRY_REQUIRE_PEERS asks for it" >&2
  exit 1
fi
if [ "$status" -ne 0 ]; then
  [ "$status" -eq 77 ] && echo "skipped: nginx is not available" >&2
  [ -s "$work/out.csv.untrusted.err" ] && sed 's/^/untrusted run: /' "$work/out.csv.untrusted.err" >&2
  exit "$status"
fi

# The rows, whatever qry makes of the header line; the comma in a cell
# makes it quoted.
csv=$(tr -d '\r' < "$work/out.csv")
for row in 'Lamp,12' '"Desk, oak",140'; do
  if ! grep -qxF -- "$row" <<< "$csv"; then
    echo "out.csv lacks the row $row; it holds:" >&2
    printf '%s\n' "$csv" >&2
    exit 1
  fi
done
echo "qry exported the table over HTTPS"
