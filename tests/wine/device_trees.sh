# The device trees of the Wine scenarios, laid out under a root directory
# that stands for drive C. Profile files are written as the device keeps
# them: UTF-8 text with CR LF line ends.

# crlf LINE...: the lines joined by CR LF, each ended by one.
crlf() {
  for line in "$@"; do printf '%s\r\n' "$line"; done
}

# put ROOT/PATH TEXT: a file with the text, its directories created.
put() {
  mkdir -p "$(dirname "$1")"
  printf '%s' "$2" > "$1"
}

installed_main_ini() {
  crlf "[Main]" "Title=Ridge Station" "Version=1.2.3" "Update Time=2026-06-01 9:15:00" "" \
    "[Option]" "Frequency=868M"
}

# application_directory ROOT STAND_IN: version 1.2.3 with the stand-in
# application (omitted when STAND_IN is empty).
application_directory() {
  app="$1/ResidentFlash/Nimbora"
  mkdir -p "$app" "$1/Storage Card"
  installed_main_ini > "$app/main.ini"
  put "$app/Readme-1.2.3.txt" "Release notes 1.2.3"
  put "$app/Charts/2026/april.csv" "day,rain"
  put "$app/Database/Param.dat" "station=17"
  put "$app/Database/records.csv" "2026-04-01,3"
  put "$app/Skins/day.skin" "day"
  if [ -n "$2" ]; then cp "$2" "$app/Nimbora.exe"; fi
}

# card_package ROOT: 1.2.4, deleting two entries and copying three.
card_package() {
  package="$1/Storage Card/Update Nimbora"
  mkdir -p "$package"
  crlf "[Main]" "Version=1.2.4" "Update Time=2026-11-20 14:05:00" "Delete=2" "Update=3" "" \
    "[Delete]" "file1=Readme-1.2.3.txt" 'file2=Charts\' "" \
    "[Update]" "file1=Readme-1.2.4.txt" 'file2=Maps\Alps\relief.map' 'file3=Skins\' \
    > "$package/update.ini"
  put "$package/Readme-1.2.4.txt" "Release notes 1.2.4"
  put "$package/Maps/Alps/relief.map" "relief"
  put "$package/Skins/night.skin" "night 1.2.4"
  put "$package/Skins/storm.skin" "storm"
}

# flash_package ROOT STAND_IN: 1.3.0, replacing everything but the database
# records, and bringing the application along.
flash_package() {
  package="$1/ResidentFlash/Update Nimbora"
  mkdir -p "$package"
  crlf "[Main]" "Version=1.3.0" "Update Time=2026-12-01 10:30:00" "Delete=all" \
    "DeleteParam=true" "Update=all" > "$package/update.ini"
  put "$package/Readme-1.3.0.txt" "Release notes 1.3.0"
  put "$package/Skins/night.skin" "night 1.3.0"
  cp "$2" "$package/Nimbora.exe"
}

# package_description DIR LINE...: the package's update.ini in DIR.
package_description() {
  mkdir -p "$1"
  description=$1/update.ini
  shift
  crlf "$@" >"$description"
}
