// check's report: text for people, one JSON object for tools.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/device_locations.h"
#include "check_context.h"

namespace nimbora {

namespace {

const char* SourceName(PackageSource source) {
  return source == PackageSource::Card ? "card" : source == PackageSource::Flash ? "flash" : nullptr;
}

std::string TimeJson(const UpdateTime& time) { return time.year == 0 ? "null" : Json(Wide(TimeText(time))); }

std::string JsonList(const std::vector<std::u16string>& items) {
  std::string out = "[";
  for (const std::u16string& item : items) out += (out.size() > 1 ? ", " : "") + Json(item);
  return out + "]";
}

std::string Quoted(const std::string& text) { return Json(Wide(text)); }

std::string FindingJson(const Finding& finding) {
  std::string out = std::string("{\"severity\": \"") + SeverityName(finding.severity) + "\", \"code\": \"" +
                    finding.code + "\", \"message\": " + Quoted(finding.message);
  if (!finding.section.empty()) out += ", \"section\": " + Quoted(finding.section);
  if (!finding.key.empty()) out += ", \"key\": " + Quoted(finding.key);
  if (finding.line != 0) out += ", \"line\": " + std::to_string(finding.line);
  if (!finding.entry.empty()) out += ", \"entry\": " + Quoted(finding.entry);
  return out + "}";
}

std::string SettingsJson(const Check& check) {
  std::string out = std::string("{\"replaced\": ") + (check.settingsReplaced ? "true" : "false") +
                    ", \"deleted\": " + (check.settingsDeleted ? "true" : "false") + ", \"changes\": [";
  for (size_t i = 0; i < check.settingChanges.size(); ++i) {
    const SettingChange& change = check.settingChanges[i];
    out += std::string(i == 0 ? "" : ", ") + "{\"section\": " + Json(change.section) + ", \"key\": " +
           Json(change.key) + ", \"before\": " + Json(change.before) +
           ", \"after\": " + (change.kept ? Json(change.after) : "null") + "}";
  }
  return out + "]}";
}

}  // namespace

int CountOf(const Check& check, Severity severity) {
  int count = 0;
  for (const Finding& finding : check.package.findings) count += finding.severity == severity;
  return count;
}

void PrintText(const Check& check) {
  const PackageSelection& s = check.selection;
  printf("Package %s (%s)\n", Utf8(check.package.packageDirectory).c_str(),
         check.arguments->device.place == PackagePlace::Card ? "card" : "flash");
  printf("Installed: %s, %s\n", VersionText(s.installedVersion).c_str(),
         s.installedTime.year == 0 ? "no update time" : TimeText(s.installedTime).c_str());
  printf("Package:   %s, %s\n", VersionText(check.packageVersion).c_str(),
         check.packageTime.year == 0 ? "no update time" : TimeText(check.packageTime).c_str());
  printf("Selected:  %s: %s\n", s.source == PackageSource::None ? "no" : SourceName(s.source),
         check.reason.c_str());
  printf("Plan:\n");
  const std::vector<OverlayChange>& changes = check.run.changes;
  bool recordShown = false;
  for (size_t i = 0; i < changes.size(); ++i) {
    std::string step = StepText(changes[i]);
    if (step.empty() || IsNormalCourse(changes, i)) continue;
    // The run's rewrite of main.ini is one step to the reader, its scratch files aside.
    if (IsScratchStep(changes[i]) && changes[i].error == 0) {
      if (!recordShown) printf("  record %s (Version, Update Time)\n", Utf8(kInstalledStatePath).c_str());
      recordShown = true;
      continue;
    }
    printf("  %s%s\n", step.c_str(),
           changes[i].error == 0 ? "" : (" (fails: device error " + std::to_string(changes[i].error) + ")").c_str());
  }
  printf("  %lld bytes copied\n", check.bytes);
  printf("Outcome: %s\n", check.outcome.empty() ? "nothing applied; the application starts at once"
                                                 : ("\"" + Utf8(check.outcome) + "\"").c_str());
  printf("Findings:%s\n", check.package.findings.empty() ? " none" : "");
  for (const Finding& finding : check.package.findings) {
    std::string line = finding.line == 0 ? "" : " (line " + std::to_string(finding.line) + ")";
    printf("  %s %s%s: %s\n", SeverityName(finding.severity), finding.code, line.c_str(), finding.message.c_str());
  }
  printf("%d error(s)\n", CountOf(check, Severity::Error));
}

void PrintJson(const Check& check) {
  const PackageSelection& s = check.selection;
  const char* source = SourceName(s.source);
  printf("{\"selected\": %s, \"source\": %s,\n", s.source == PackageSource::None ? "false" : "true",
         source == nullptr ? "null" : ("\"" + std::string(source) + "\"").c_str());
  printf(" \"installed\": {\"version\": \"%s\", \"time\": %s},\n", VersionText(s.installedVersion).c_str(),
         TimeJson(s.installedTime).c_str());
  printf(" \"package\": {\"version\": \"%s\", \"time\": %s}, \"reason\": %s,\n",
         VersionText(check.packageVersion).c_str(), TimeJson(check.packageTime).c_str(), Quoted(check.reason).c_str());
  printf(" \"delete\": %s,\n \"copy\": [", JsonList(check.deletes).c_str());
  for (size_t i = 0; i < check.copies.size(); ++i) {
    const Copy& copy = check.copies[i];
    printf("%s{\"from\": %s, \"to\": %s, \"bytes\": %lld, \"replaces\": %s}", i == 0 ? "" : ",\n   ",
           Json(copy.from).c_str(), Json(copy.to).c_str(), copy.bytes, copy.replaces ? "true" : "false");
  }
  printf("],\n \"createDirectories\": %s, \"removeDirectories\": %s, \"bytes\": %lld,\n",
         JsonList(check.createdDirectories).c_str(), JsonList(check.removedDirectories).c_str(), check.bytes);
  printf(" \"settings\": %s,\n", SettingsJson(check).c_str());
  printf(" \"plan\": %s,\n", PlanJson(check.run.changes).c_str());
  printf(" \"outcome\": %s,\n", check.outcome.empty() ? "null" : Json(check.outcome).c_str());
  printf(" \"counts\": {\"errors\": %d, \"warnings\": %d, \"notes\": %d},\n \"findings\": [",
         CountOf(check, Severity::Error), CountOf(check, Severity::Warning), CountOf(check, Severity::Note));
  for (size_t i = 0; i < check.package.findings.size(); ++i) {
    printf("%s%s", i == 0 ? "" : ",\n   ", FindingJson(check.package.findings[i]).c_str());
  }
  printf("]}\n");
}

}  // namespace nimbora
