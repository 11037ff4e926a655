#!/usr/bin/env bash
# Download benchmark: a 64 MiB body from a local server, fetched by THttpCli under
# Wine and by curl, from the same server and file, over HTTP and over HTTPS (TLS
# through SChannel for THttpCli, OpenSSL for curl; certificates from
# tools/make-test-certs). Prints the rates and their ratios.
#
#   bench/http_download.sh [BUILD_DIR] [ROUNDS]
#
# BUILD_DIR is a windows-preset build with the http_download_win_bench target built
# (default build/windows). Each tool runs ROUNDS times (default 3); the best round of
# each counts, so a stray hiccup of the shared machine does not decide the figure.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=${1:-$root/build/windows}
rounds=${2:-3}
bench_exe=$build/bench/http_download_win_bench.exe
[ -x "$bench_exe" ] || { echo "missing $bench_exe (build target http_download_win_bench)" >&2; exit 1; }

work=$(mktemp -d)
head -c $((64 * 1024 * 1024)) /dev/urandom > "$work/blob.bin"
certs=$build/tls-certs
"$root/tools/make-test-certs" "$certs"
export PARLIX_TLS_CA=$certs/ca.pem
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
python3 "$here/http_blob_server.py" "$work/blob.bin" "$work/port" $((2 * rounds + 1)) &
pids+=($!)
python3 "$here/http_blob_server.py" "$work/blob.bin" "$work/tls_port" $((2 * rounds + 1)) \
  "$certs/good.pem" "$certs/good.key" &
pids+=($!)
for _ in $(seq 1 100); do [ -s "$work/port" ] && [ -s "$work/tls_port" ] && break; sleep 0.05; done

# Warm the prefix (wineserver start-up is not part of a download).
"$root/tools/wine-run" --prefix "$build/wineprefix" -- cmd /c exit 0 >/dev/null 2>&1 || true

# series NAME URL [CURL OPTIONS...]: best of ROUNDS for each tool; sets best_cli, best_curl.
series() {
  local name=$1 url=$2
  shift 2
  best_cli=0
  best_curl=0
  for r in $(seq 1 "$rounds"); do
    line=$("$root/tools/wine-run" --prefix "$build/wineprefix" -- "$bench_exe" "$url" 'Z:'"$work/cli.bin" | tr -d '\r')
    rate=$(echo "$line" | awk '{print $6}')
    cmp -s "$work/blob.bin" "$work/cli.bin" || { echo "THttpCli download differs from the file" >&2; exit 1; }
    echo "$name round $r THttpCli: $line"
    best_cli=$(awk -v a="$best_cli" -v b="$rate" 'BEGIN{print (b>a)?b:a}')

    speed=$(curl -s "$@" -o "$work/curl.bin" -w '%{speed_download}' "$url")
    cmp -s "$work/blob.bin" "$work/curl.bin" || { echo "curl download differs from the file" >&2; exit 1; }
    crate=$(awk -v s="$speed" 'BEGIN{printf "%.1f", s/1048576}')
    echo "$name round $r curl: MiB/s $crate"
    best_curl=$(awk -v a="$best_curl" -v b="$crate" 'BEGIN{print (b>a)?b:a}')
  done
  echo "$name THttpCli (Wine): $best_cli MiB/s"
  echo "$name curl (native):   $best_curl MiB/s"
  awk -v n="$name" -v a="$best_cli" -v b="$best_curl" 'BEGIN{printf "%s ratio THttpCli/curl: %.2f\n", n, a/b}'
}

series HTTP "http://127.0.0.1:$(cat "$work/port")/blob.bin"
series HTTPS "https://localhost:$(cat "$work/tls_port")/blob.bin" --cacert "$PARLIX_TLS_CA"
