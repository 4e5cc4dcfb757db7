# Sourced by scripts/demo and scripts/screenshots: a simulated hand controller on a private
# virtual USB bus, with an SD card that holds the sample guiding logs, and a private registry
# hive whose Gantrix "My folder" is a private folder, so a user's own options and files are
# not touched.
#
#   simulated_hc_start DIR BIN SERIAL
# DIR: an empty folder for the bus, the card, the hive and "My folder"; BIN: the build
# folder; SERIAL: the HC's serial. Exports VT5_USB_BUS, VT5_USB_BACKENDS and VT5_REGISTRY,
# sets hcsim_pid and prints what vt5-hcsim announces. The caller stops $hcsim_pid.

simulated_hc_start() {
  local dir=$1 bin=$2 serial=$3
  export VT5_USB_BUS="$dir/usb-bus"
  export VT5_USB_BACKENDS=vbus
  export VT5_REGISTRY="$dir/registry.reg"

  # The card as the HC leaves it: the guiding logs in LOGS, each with the card time of its
  # last line (the HC's clock runs on UTC).
  local card="$dir/card" log last
  mkdir -p "$card/LOGS"
  for log in tests/data/logs/*_log_*.txt; do
    cp "$log" "$card/LOGS/"
    last=$(tr '\r' '\n' < "$log" | grep -E '^[0-9]{4}-[0-9]{2}-[0-9]{2}' | tail -1 | cut -f1,2)
    touch -d "${last%%.*}Z" "$card/LOGS/$(basename "$log")"
  done
  # Gantrix's "My folder", where the browser puts what it downloads and the reports.
  mkdir -p "$dir/My folder"
  printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\NORVANE\\Veltra-5\\Gantrix]\r\n"Veltra-5 folder"="%s"\r\n' \
    "$dir/My folder" > "$VT5_REGISTRY"

  "$bin/tools/vt5-hcsim/vt5-hcsim" --serial "$serial" --card "$card" > "$dir/hcsim.out" &
  hcsim_pid=$!
  local _
  for _ in $(seq 100); do
    grep -q '^VT5_USB_BUS=' "$dir/hcsim.out" 2>/dev/null && break
    sleep 0.05
  done
  cat "$dir/hcsim.out"
}
