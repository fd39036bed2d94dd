# The Wine scenarios: for each NAME, layout_NAME ROOT lays out the device
# tree and check_NAME DIR checks what the Updater left on drive C.

app() { echo "$drive_c/ResidentFlash/Nimbora"; }

expect_present() {
  for path in "$@"; do [ -e "$path" ] || fail "missing: ${path#"$drive_c"/}"; done
}

expect_absent() {
  for path in "$@"; do [ ! -e "$path" ] || fail "still there: ${path#"$drive_c"/}"; done
}

# expect_main_ini DIR LINE...: main.ini holds exactly these lines, CR LF ended.
expect_main_ini() {
  dir=$1
  shift
  crlf "$@" >"$dir/expected-main.ini"
  cmp -s "$dir/expected-main.ini" "$(app)/main.ini" ||
    fail "main.ini: $(od -c "$(app)/main.ini" | head -n 5)"
}

# expect_started COUNT: the stand-in recorded COUNT starts, without arguments.
expect_started() {
  log="$(app)/started.log"
  count=0
  [ ! -f "$log" ] || count=$(wc -l <"$log")
  [ "$count" -eq "$1" ] || fail "application started $count time(s), expected $1"
  [ "$1" -eq 0 ] || grep -qx 'started with arguments \[\]' "$log" || fail "started with: $(cat "$log")"
}

expect_unchanged() {
  diff -r --exclude=started.log "$1/fixture/ResidentFlash" "$drive_c/ResidentFlash" >"$1/changes.diff" ||
    { fail "the device tree changed"; show_log "$1/changes.diff"; }
}

# A card package: applied, recorded, left in its slot; a key starts the
# application.
layout_card() {
  application_directory "$1" "$stand_in"
  card_package "$1"
}
check_card() {
  expect_main_ini "$1" "[Main]" "Title=Ridge Station" "Version=1.2.4" \
    "Update Time=2026-11-20 14:05:00" "" "[Option]" "Frequency=868M"
  expect_absent "$(app)/Readme-1.2.3.txt" "$(app)/Charts"
  expect_present "$(app)/Readme-1.2.4.txt" "$(app)/Maps/Alps/relief.map" \
    "$(app)/Skins/night.skin" "$(app)/Skins/storm.skin" "$(app)/Skins/day.skin" \
    "$(app)/Database/Param.dat" "$drive_c/Storage Card/Update Nimbora/update.ini"
  expect_started 1
}

# A flash package that deletes everything but the database records and
# copies itself whole, then is removed; main.ini is made afresh.
layout_flash() {
  application_directory "$1" "$stand_in"
  flash_package "$1" "$stand_in"
}
check_flash() {
  expect_main_ini "$1" "" "[Main]" "Version=1.3.0" "Update Time=2026-12-01 10:30:00"
  expect_absent "$drive_c/ResidentFlash/Update Nimbora" "$(app)/Database/Param.dat" \
    "$(app)/Readme-1.2.3.txt" "$(app)/Charts" "$(app)/Skins/day.skin"
  expect_present "$(app)/Database/records.csv" "$(app)/Readme-1.3.0.txt" \
    "$(app)/Skins/night.skin" "$(app)/update.ini" "$(app)/Nimbora.exe"
  expect_started 1
}

# Nothing to apply and no status word: the application is started at once.
layout_no_package() { application_directory "$1" "$stand_in"; }
check_no_package() {
  expect_unchanged "$1"
  expect_started 1
}

# No application to start: the launch fails, the Updater still closes.
layout_failed_launch() { application_directory "$1" ""; }
check_failed_launch() {
  expect_unchanged "$1"
  expect_absent "$(app)/Nimbora.exe"
  [ -z "$(find "$drive_c/ResidentFlash" -name started.log)" ] || fail "something was started"
}
