# shellcheck shell=bash
# Sourced by scripts/demo, scripts/gui and scripts/check-package from the
# repository root: a scratch installation with the example and the module
# programs, and the local portal its upload workflow sends to.

# The build folder as an absolute path: BUILD, else build/dev.
build_folder() {
  case ${BUILD:-build/dev} in
    /*) echo "$BUILD" ;;
    *) echo "$PWD/${BUILD:-build/dev}" ;;
  esac
}

# make_installation SCRATCH BUILD: a new installation in SCRATCH made by
# BUILD's wfdesk-cli init --example: the example's files, links to BUILD's
# converter and connector and to the system's xsltproc.
make_installation() {
  local scratch=$1 build=$2 program
  for program in cli/wfdesk-cli tools/mod_ledgerconv001_x86_32 tools/mod_portalsend001_x86_32 tools/wfdesk-portal; do
    [ -x "$build/$program" ] || { echo "$build/$program is missing: build first (make build)." >&2; return 1; }
  done
  command -v xsltproc >/dev/null || { echo "xsltproc is not installed (make deps)." >&2; return 1; }
  command -v java >/dev/null && [ -f /usr/share/java/Saxon-HE.jar ] ||
    { echo "Java or Saxon-HE is not installed; the invoice check needs them (make deps)." >&2; return 1; }
  rm -rf "$scratch"
  "$build/cli/wfdesk-cli" init "$scratch" --example >/dev/null
  mkdir -p "$scratch/portal-store"
}

# start_portal SCRATCH PORTAL: the portal program PORTAL on a free loopback
# port, logging to SCRATCH/log/portal.log and storing into
# SCRATCH/portal-store; daily.ini's mpProxy is pointed at it. Sets
# portal_url; the portal stops when the calling script exits.
start_portal() {
  local scratch=$1 portal=$2 port
  rm -f "$scratch/portal.port"
  "$portal" --store "$scratch/portal-store" --user demo --password demo-secret \
    --port 0 --port-file "$scratch/portal.port" 2> "$scratch/log/portal.log" &
  portal_pid=$!
  trap stop_portal EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM HUP
  for _ in $(seq 200); do
    [ -s "$scratch/portal.port" ] && break
    kill -0 "$portal_pid" 2>/dev/null || break
    sleep 0.05
  done
  port=$(tr -d '\r\n' < "$scratch/portal.port" 2>/dev/null || true)
  if [ -z "$port" ]; then
    echo "The portal did not start; its log:" >&2
    cat "$scratch/log/portal.log" >&2
    return 1
  fi
  portal_url="http://127.0.0.1:$port/ws"
  sed -i "s#^mpProxy=[^\r]*#mpProxy=$portal_url#" "$scratch/data/daily.ini"
}

stop_portal() {
  [ -n "${portal_pid:-}" ] || return 0
  kill "$portal_pid" 2>/dev/null || true
  wait "$portal_pid" 2>/dev/null || true
  portal_pid=
}

# ini_value FILE SECTION KEY: the key's value in that section of an INI
# file, "" when it has none.
ini_value() {
  tr -d '\r' < "$1" | awk -v section="[$2]" -v key="$3" '
    /^\[/ { inside = ($0 == section) }
    inside && index($0, key "=") == 1 { print substr($0, length(key) + 2); exit }'
}

# run_log_of SCRATCH WORKFLOW: the log the workflow's runs write to, as
# wfdesk takes it: its DEF logfile, else the system log.
run_log_of() {
  local file
  file=$(ini_value "$1/data/$2" DEF logfile)
  [ -n "$file" ] || file=$(ini_value "$1/settings.ini" SETTINGS logfile)
  case $file in
    /*) echo "$file" ;;
    *) echo "$1/$file" ;;
  esac
}

# recorded_acknowledgements SCRATCH WORKFLOW NUMBERS...: how many of the
# invoice numbers have a record in the workflow's transmission database
# with the state "accepted" and an acknowledgement id.
recorded_acknowledgements() {
  local scratch=$1 workflow=$2 database
  shift 2
  database=$(tr -d '\r' < "$scratch/data/$workflow" | sed -n 's/^dbfile=//p' | head -n 1)
  [ -n "$database" ] && [ -f "$scratch/$database" ] || { echo 0; return; }
  tr -d '\r' < "$scratch/$database" |
    awk -F';' -v numbers="$*" '
      BEGIN { split(numbers, list, " "); for (i in list) wanted[list[i]] = 1 }
      ($1 in wanted) && $4 != "" && $10 == "accepted" && !seen[$1]++ { n++ }
      END { print n + 0 }'
}

# report_run SCRATCH WORKFLOW STATUS RESULT: the workflow's log and a
# summary of what happened to the invoices (checked: found valid or
# invalid by the invoice check; rejected: put aside as invalid), the
# acknowledgements read from the transmission database; returns 0 only
# when the run was OK and every invoice converted has its acknowledgement
# recorded.
report_run() {
  local scratch=$1 workflow=$2 status=$3 result=$4 log
  log=$(run_log_of "$scratch" "$workflow")
  echo
  echo "== $(basename "$log")"
  tr -d '\r' < "$log"

  count() { grep -c "$1" "$log" || true; }
  local converted checked rejected transformed uploaded acknowledged numbers
  # Left in run_numbers for the caller.
  numbers=$(tr -d '\r' < "$log" |
    sed -n 's/.*ledgerconv: converted \(invoice\|credit note\) \([^ ]*\) .*/\2/p')
  run_numbers=$numbers
  converted=$(printf '%s\n' "$numbers" | grep -c . || true)
  checked=$(count ' File \(valid\|invalid\): ')
  rejected=$(count ' File invalid: ')
  transformed=$(count 'File transformed: \[OK\]')
  uploaded=$(count 'portalsend: uploaded \(/\|[A-Za-z]:\)')
  # shellcheck disable=SC2086 # one number a word
  acknowledged=$(recorded_acknowledgements "$scratch" "$workflow" $numbers)
  echo
  echo "== Summary (acknowledgements from the transmission database)"
  echo "invoices converted:    $converted"
  echo "invoices checked:      $checked"
  echo "invoices rejected:     $rejected"
  echo "invoices transformed:  $transformed"
  echo "invoices uploaded:     $uploaded"
  echo "invoices acknowledged: $acknowledged"

  if [ "$status" -eq 0 ] && [ "$result" = "OK" ] && [ "$converted" -gt 0 ] &&
     [ "$acknowledged" -eq "$converted" ]; then
    echo "Every invoice was converted, checked, transformed, uploaded and acknowledged."
    return 0
  fi
  echo "Not every invoice went through: see the log above." >&2
  return 1
}
