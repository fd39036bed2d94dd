# The Wine scenarios, one for each of the host's end-to-end runs: for each
# NAME, layout_NAME ROOT lays out the device tree and check_NAME DIR checks
# what the Updater left on drive C (run_wine_tests.sh then compares it with
# the host program's result).

run_scenarios() {
  await_exit=yes
  run_scenario card space success
  run_scenario failed_launch - -
  await_exit=
  run_scenario flash space success
  run_scenario failing_copy space failure
  run_scenario same_version_listed space success
  run_scenario same_version_unlisted - -
  run_scenario success_word space success SUCCESS
  run_scenario failure_word space failure failure
  run_scenario no_package - -
  run_scenario delete_all space success
  run_scenario next_start space success
}

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

# expect_installed_main_ini DIR VERSION TIME: the installed main.ini with
# the version and time recorded.
expect_installed_main_ini() {
  expect_main_ini "$1" "[Main]" "Title=Ridge Station" "Version=$2" "Update Time=$3" "" \
    "[Option]" "Frequency=868M"
}

# started_count LOG: the starts the stand-in recorded in LOG.
started_count() {
  if [ -f "$1" ]; then wc -l <"$1"; else echo 0; fi
}

# expect_started COUNT: the stand-in recorded COUNT starts, without
# arguments; it may still be writing its record, so it is given 5 seconds.
expect_started() {
  log="$(app)/started.log"
  tries=0
  while [ "$(started_count "$log")" -lt "$1" ] && [ $tries -lt 25 ]; do
    sleep 0.2
    tries=$((tries + 1))
  done
  count=$(started_count "$log")
  [ "$count" -eq "$1" ] || fail "application started $count time(s), expected $1"
  [ "$1" -eq 0 ] || [ "$(sort -u "$log")" = 'started with arguments []' ] ||
    fail "started with: $(cat "$log")"
}

expect_unchanged() {
  diff -r --exclude=started.log "$1/fixture/ResidentFlash" "$drive_c/ResidentFlash" >"$1/changes.diff" ||
    { fail "the device tree changed"; show_log "$1/changes.diff"; }
}

# The host's applied card package, with a directory copied and one deleted:
# applied, recorded, left in its slot; a key starts the application.
layout_card() {
  application_directory "$1" "$stand_in"
  card_package "$1"
}
check_card() {
  expect_card_applied "$1"
  expect_started 1
}
expect_card_applied() {
  expect_installed_main_ini "$1" 1.2.4 "2026-11-20 14:05:00"
  expect_absent "$(app)/Readme-1.2.3.txt" "$(app)/Charts"
  expect_present "$(app)/Readme-1.2.4.txt" "$(app)/Maps/Alps/relief.map" \
    "$(app)/Skins/night.skin" "$(app)/Skins/storm.skin" "$(app)/Skins/day.skin" \
    "$(app)/Database/Param.dat" "$drive_c/Storage Card/Update Nimbora/update.ini"
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

# A flash package whose second file is missing: failure, yet recorded and removed.
layout_failing_copy() {
  application_directory "$1" "$stand_in"
  package_description "$1/ResidentFlash/Update Nimbora" "[Main]" "Version=1.3.0" "Update=2" \
    "[Update]" "file1=a.txt" "file2=missing.txt"
  put "$1/ResidentFlash/Update Nimbora/a.txt" "a"
}
check_failing_copy() {
  expect_installed_main_ini "$1" 1.3.0 "2026-06-01 9:15:00"
  expect_present "$(app)/a.txt"
  expect_absent "$drive_c/ResidentFlash/Update Nimbora" "$(app)/missing.txt"
  expect_started 1
}

# same_version_package ROOT LINE...: version 1.2.3 of a later time, with an extra file.
same_version_package() {
  package="$1/Storage Card/Update Nimbora"
  shift
  package_description "$package" "[Main]" "Version=1.2.3" "Update Time=2026-06-02 0:00:00" "$@"
  put "$package/extra.txt" "x"
}

# The same version of a later time is applied when it lists what to copy...
layout_same_version_listed() {
  application_directory "$1" "$stand_in"
  same_version_package "$1" "Update=all"
}
check_same_version_listed() {
  expect_installed_main_ini "$1" 1.2.3 "2026-06-02 0:00:00"
  expect_present "$(app)/extra.txt" "$(app)/update.ini"
  expect_started 1
}

# ... and passed over when it lists nothing: the application starts at once.
layout_same_version_unlisted() {
  application_directory "$1" "$stand_in"
  same_version_package "$1"
}
check_same_version_unlisted() {
  expect_unchanged "$1"
  expect_started 1
}

# A status word with nothing to apply: its outcome, a key, the application.
layout_success_word() { application_directory "$1" "$stand_in"; }
check_success_word() {
  expect_unchanged "$1"
  expect_started 1
}
layout_failure_word() { layout_success_word "$@"; }
check_failure_word() { check_success_word "$@"; }

# Nothing to apply and no status word: the application is started at once.
layout_no_package() { layout_success_word "$@"; }
check_no_package() { check_success_word "$@"; }

# Everything is deleted but the database; the package brings the application.
layout_delete_all() {
  application_directory "$1" "$stand_in"
  package_description "$1/Storage Card/Update Nimbora" "[Main]" "Version=2.0.0" "Delete=all" \
    "Update=all"
  cp "$stand_in" "$1/Storage Card/Update Nimbora/Nimbora.exe"
}
check_delete_all() {
  expect_main_ini "$1" "" "[Main]" "Version=2.0.0"
  expect_present "$(app)/Database/Param.dat" "$(app)/Database/records.csv" "$(app)/Nimbora.exe"
  expect_absent "$(app)/Skins" "$(app)/Charts" "$(app)/Readme-1.2.3.txt"
  expect_started 1
}

# No application to start: the launch fails, the Updater still closes.
layout_failed_launch() { application_directory "$1" ""; }
check_failed_launch() {
  expect_unchanged "$1"
  expect_absent "$(app)/Nimbora.exe"
  [ -z "$(find "$drive_c/ResidentFlash" -name started.log)" ] || fail "something was started"
}

# An applied card package is not applied again on the next start, which
# goes straight to the application.
layout_next_start() { layout_card "$@"; }
check_next_start() {
  run_under_wine "$1" - -
  run_on_host "$1" -
  expect_card_applied "$1"
  expect_started 2
}
