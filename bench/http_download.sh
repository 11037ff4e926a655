#!/usr/bin/env bash
# Download benchmark: a 64 MiB body from a local server, fetched by THttpCli under
# Wine and by curl, from the same server and file. Prints both rates and their ratio.
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
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

head -c $((64 * 1024 * 1024)) /dev/urandom > "$work/blob.bin"
python3 "$here/http_blob_server.py" "$work/blob.bin" "$work/port" $((2 * rounds + 1)) &
server_pid=$!
for _ in $(seq 1 100); do [ -s "$work/port" ] && break; sleep 0.05; done
port=$(cat "$work/port")
url="http://127.0.0.1:$port/blob.bin"

# Warm the prefix (wineserver start-up is not part of a download).
"$root/tools/wine-run" --prefix "$build/wineprefix" -- cmd /c exit 0 >/dev/null 2>&1 || true

best_cli=0
best_curl=0
for r in $(seq 1 "$rounds"); do
  line=$("$root/tools/wine-run" --prefix "$build/wineprefix" -- "$bench_exe" "$url" 'Z:'"$work/cli.bin" | tr -d '\r')
  rate=$(echo "$line" | awk '{print $6}')
  cmp -s "$work/blob.bin" "$work/cli.bin" || { echo "THttpCli download differs from the file" >&2; exit 1; }
  echo "round $r THttpCli: $line"
  best_cli=$(awk -v a="$best_cli" -v b="$rate" 'BEGIN{print (b>a)?b:a}')

  speed=$(curl -s -o "$work/curl.bin" -w '%{speed_download}' "$url")
  cmp -s "$work/blob.bin" "$work/curl.bin" || { echo "curl download differs from the file" >&2; exit 1; }
  crate=$(awk -v s="$speed" 'BEGIN{printf "%.1f", s/1048576}')
  echo "round $r curl: MiB/s $crate"
  best_curl=$(awk -v a="$best_curl" -v b="$crate" 'BEGIN{print (b>a)?b:a}')
done

echo "THttpCli (Wine): $best_cli MiB/s"
echo "curl (native):   $best_curl MiB/s"
awk -v a="$best_cli" -v b="$best_curl" 'BEGIN{printf "ratio THttpCli/curl: %.2f\n", a/b}'
