// The package format: the names and limits of a package description
// (update.ini) and of the entries the instructions treat specially. The
// Updater reads by them and the package tool writes and checks by them.
#pragma once

namespace nimbora {

// Section "Main" holds the values and the instruction counts.
constexpr const char16_t* kMainSection = u"Main";
constexpr const char16_t* kVersionKey = u"Version";
constexpr const char16_t* kUpdateTimeKey = u"Update Time";
constexpr const char16_t* kDeleteKey = u"Delete";  // "all" or the count of section "Delete"
constexpr const char16_t* kUpdateKey = u"Update";  // "all" or the count of section "Update"
constexpr const char16_t* kDeleteDatabaseKey = u"DeleteDatabase";
constexpr const char16_t* kDeleteParamKey = u"DeleteParam";
// The listed entries are "file1", "file2", ... in the sections named as the
// keys that count them.
constexpr const char16_t* kDeleteSection = kDeleteKey;
constexpr const char16_t* kUpdateSection = kUpdateKey;
constexpr const char16_t* kEntryPrefix = u"file";
constexpr const char16_t* kAllKeyword = u"all";
constexpr const char16_t* kTrueKeyword = u"true";
// A value of section "Main" is read into this many characters.
constexpr int kMainValueCapacity = 256;

// The running Updater, which a copy of the package may meet and forgive.
constexpr const char16_t* kUpdaterName = u"Update.exe";
// The application's database directory, which "Delete" = all keeps unless
// "DeleteDatabase" is true, and its settings file, removed by "DeleteParam".
constexpr const char16_t* kDatabaseName = u"Database";
constexpr const char16_t* kParamPath = u"Database\\Param.dat";

}  // namespace nimbora
