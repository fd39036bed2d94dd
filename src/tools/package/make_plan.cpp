// The plan in linear passes: OLD's entries top-down (what goes), NEW's
// bottom-up (which directories can be copied whole) and top-down (what is
// copied); every look-up across the trees is one hash look-up.
#include "make_plan.h"

#include <algorithm>

#include "base/wide_string.h"
#include "package/package_format.h"
#include "platform/device_locations.h"
#include "platform/file_system.h"
#include "profile/profile_reader.h"
#include "package_tool.h"
#include "progress_line.h"

namespace nimbora {

namespace {

constexpr int kLongestPackageDirectory =
    static_cast<int>(std::max(std::char_traits<char16_t>::length(kCardPackageDirectory),
                              std::char_traits<char16_t>::length(kFlashPackageDirectory)));
constexpr int kSearchSuffix = 3;  // "*.*" after a directory's prefix

std::u16string Written(const TreeEntry& entry) { return entry.directory ? entry.path + u"\\" : entry.path; }

bool InDatabase(const TreeEntry& entry) {
  std::u16string inside = std::u16string(kDatabaseName) + u"\\";
  return WideCompareNoCase(entry.path.c_str(), kDatabaseName) == 0 ||
         WideCompareNoCasePrefix(entry.path.c_str(), inside.c_str(), static_cast<int>(inside.size())) == 0;
}

bool IsTopUpdater(const TreeEntry& entry) {
  return entry.parent < 0 && WideCompareNoCase(entry.path.c_str(), kUpdaterName) == 0;
}

// Per entry of OLD and of NEW, what the comparison found.
struct Comparison {
  const MakeTree& oldTree;
  const MakeTree& newTree;
  MakeChoices choices;
  std::vector<char> replaced, gone, deleted;                       // OLD
  std::vector<int> counterpart;                                    // NEW: OLD's entry or -1
  std::vector<char> freshAbove, changed, whole, emitted, carried;  // NEW
};

const TreeEntry& Old(const Comparison& c, size_t i) { return c.oldTree.entries[i]; }
const TreeEntry& New(const Comparison& c, size_t i) { return c.newTree.entries[i]; }

bool Excluded(const Comparison& c, const TreeEntry& entry) {
  return !c.choices.replaceSettings && IsSettingsFile(entry);
}

// An OLD entry that cannot stay: gone from NEW, of the other kind, or renamed
// in letter case. Below it everything goes with it; the tree walk of the
// delete passes over names starting with a full stop, so those are listed.
void FindDeletes(Comparison* c) {
  size_t count = c->oldTree.entries.size();
  std::vector<char> reached(count);
  c->replaced.assign(count, 0);
  c->gone.assign(count, 0);
  c->deleted.assign(count, 0);
  for (size_t i = 0; i < count; ++i) {
    const TreeEntry& entry = Old(*c, i);
    int found = FindEntry(c->newTree, entry.path);
    c->replaced[i] = !Excluded(*c, entry) &&
                     (found < 0 || New(*c, static_cast<size_t>(found)).directory != entry.directory ||
                      LastName(New(*c, static_cast<size_t>(found)).path) != LastName(entry.path));
    size_t parent = static_cast<size_t>(entry.parent);
    bool inside = entry.parent >= 0;
    c->gone[i] = c->replaced[i] || (inside && c->gone[parent]);
    reached[i] = inside && !StartsWithFullStop(entry) && (c->replaced[parent] || reached[parent]);
    c->deleted[i] = c->gone[i] && !reached[i];
  }
}

// Files of NEW that OLD holds at the same place: sizes first, then bytes.
bool FindChanges(Comparison* c, std::string* error) {
  size_t count = c->newTree.entries.size();
  c->counterpart.assign(count, -1);
  c->freshAbove.assign(count, 0);
  c->changed.assign(count, 0);
  std::vector<size_t> compared;
  for (size_t i = 0; i < count; ++i) {
    const TreeEntry& entry = New(*c, i);
    if (Excluded(*c, entry)) continue;
    int found = c->counterpart[i] = FindEntry(c->oldTree, entry.path);
    bool fresh = found < 0 || c->replaced[static_cast<size_t>(found)];
    c->freshAbove[i] = fresh || (entry.parent >= 0 && c->freshAbove[static_cast<size_t>(entry.parent)]);
    if (c->freshAbove[i] || entry.directory) continue;
    if (entry.size != Old(*c, static_cast<size_t>(found)).size) {
      c->changed[i] = 1;
    } else {
      compared.push_back(i);
    }
  }
  for (size_t k = 0; k < compared.size(); ++k) {
    ShowProgress("comparing", static_cast<long long>(k), static_cast<long long>(compared.size()));
    const TreeEntry& entry = New(*c, compared[k]);
    bool same = true;
    if (!SameContents(Old(*c, static_cast<size_t>(c->counterpart[compared[k]])).host, entry.host, &same,
                      error)) {
      EndProgress();
      return false;
    }
    c->changed[compared[k]] = !same;
  }
  EndProgress();
  return true;
}

// A directory OLD keeps is copied as one entry when its copy brings something
// (the deletes have run before): the package holds only what is new or
// changed below it, so the directory's copy brings exactly that, and a panel
// reads one line instead of one for every file (it reads update.ini again for
// each).
void FindWholeDirectories(Comparison* c) {
  size_t count = c->newTree.entries.size();
  std::vector<char> work(count, 0);
  c->whole.assign(count, 0);
  for (size_t i = count; i-- > 0;) {
    const TreeEntry& entry = New(*c, i);
    int found = c->counterpart[i];
    c->whole[i] = entry.directory && !c->freshAbove[i] && work[i] && found >= 0;
    if (entry.parent < 0 || StartsWithFullStop(entry)) continue;
    bool brings = c->freshAbove[i] || (entry.directory ? work[i] : c->changed[i]);
    work[static_cast<size_t>(entry.parent)] |= brings;
  }
}

// Top-down: an entry is copied by its own line unless the copy of a
// directory above already reaches it; the package carries every entry a line
// names and, below a directory's line, what is new or changed.
void FindCopies(Comparison* c) {
  size_t count = c->newTree.entries.size();
  std::vector<char> reached(count, 0);
  c->emitted.assign(count, 0);
  c->carried.assign(count, 0);
  for (size_t i = 0; i < count; ++i) {
    const TreeEntry& entry = New(*c, i);
    bool inherited =
        entry.parent >= 0 && !StartsWithFullStop(entry) && reached[static_cast<size_t>(entry.parent)];
    bool brings = c->freshAbove[i] || (!entry.directory && c->changed[i]);
    c->emitted[i] = !inherited && (brings || (entry.directory && c->whole[i]));
    c->carried[i] = c->emitted[i] || (inherited && brings);
    reached[i] = inherited || (c->emitted[i] && entry.directory);
  }
}

bool Refuse(std::string* reason, const std::string& text) {
  *reason = text;
  return false;
}

bool KeepsDatabase(const Comparison& c, std::string* reason) {
  if (c.choices.deleteDatabase) return true;
  for (size_t i = 0; i < c.oldTree.entries.size(); ++i) {
    if (c.gone[i] && InDatabase(Old(c, i))) {
      return Refuse(reason,
                    "removing " + Utf8(Written(Old(c, i))) +
                        " changes the panels' database; pass --delete-database to let the package do it");
    }
  }
  for (size_t i = 0; i < c.newTree.entries.size(); ++i) {
    // A directory's line brings nothing of its own but what is carried below it.
    bool own = !New(c, i).directory || c.freshAbove[i];
    if (c.carried[i] && own && InDatabase(New(c, i))) {
      return Refuse(
          reason, Utf8(Written(New(c, i))) +
                      " would replace the panels' database; pass --delete-database to let the package do it");
    }
  }
  return true;
}

// What a panel refuses: overwriting or deleting by name a read-only file,
// and copying over the running Updater.
bool ListedCopiesHold(const Comparison& c, std::string* reason) {
  for (size_t i = 0; i < c.oldTree.entries.size(); ++i) {
    if (c.deleted[i] && !Old(c, i).directory && Old(c, i).readOnly) {
      return Refuse(reason,
                    "OLD's " + Utf8(Old(c, i).path) + " is read-only: a panel does not delete it by name");
    }
  }
  for (size_t i = 0; i < c.newTree.entries.size(); ++i) {
    const TreeEntry& entry = New(c, i);
    int found = c.counterpart[i];
    if (!c.carried[i]) continue;
    if (IsTopUpdater(entry)) {
      return Refuse(reason, Utf8(kUpdaterName) +
                                " changes: a listed copy over the running Updater fails the "
                                "update, and \"all\" would leave update.ini in the application directory");
    }
    if (!entry.directory && found >= 0 && !c.gone[static_cast<size_t>(found)] &&
        Old(c, static_cast<size_t>(found)).readOnly) {
      return Refuse(reason, "OLD's " + Utf8(entry.path) + " is read-only: a panel refuses to overwrite it");
    }
  }
  return true;
}

bool PathFits(const TreeEntry& entry, std::string* reason) {
  int formed = kLongestPackageDirectory + static_cast<int>(Written(entry).size()) +
               (entry.directory ? kSearchSuffix : 0);
  if (formed < kPathCapacity) return true;
  return Refuse(reason, Utf8(Written(entry)) + " cannot fit the device's 260-character paths");
}

std::string Line(size_t index, const std::u16string& entry) {
  return Utf8(kEntryPrefix) + std::to_string(index + 1) + "=" + Utf8(entry) + "\r\n";
}

// Every path the run forms from an entry, and every line, must fit.
bool Fits(const Comparison& c, const MakePlan& plan, std::string* reason) {
  for (size_t i = 0; i < c.oldTree.entries.size(); ++i) {
    if ((plan.deleteAll ? !InDatabase(Old(c, i)) : c.gone[i]) && !PathFits(Old(c, i), reason)) return false;
  }
  for (int i : plan.carried) {
    if (!PathFits(New(c, static_cast<size_t>(i)), reason)) return false;
  }
  for (const std::vector<std::u16string>* list : {&plan.deletes, &plan.updates}) {
    for (size_t i = 0; i < list->size(); ++i) {
      if (static_cast<int>(Line(i, (*list)[i]).size()) >= kProfileLineCapacity - 1) {
        return Refuse(reason, Utf8((*list)[i]) + " cannot fit the device's 259-character lines");
      }
    }
  }
  return true;
}

bool NoCaseLess(const std::u16string& a, const std::u16string& b) {
  return WideCompareNoCase(a.c_str(), b.c_str()) < 0;
}

bool Below(const std::u16string& entry, const std::u16string& directory) {
  return directory.back() == u'\\' && entry.size() > directory.size() &&
         WideCompareNoCasePrefix(entry.c_str(), directory.c_str(), static_cast<int>(directory.size())) == 0;
}

// Name order, but what a directory holds before the directory, so its delete
// finds nothing its walk passes over.
bool InnermostFirst(const std::u16string& a, const std::u16string& b) {
  if (Below(a, b)) return true;
  if (Below(b, a)) return false;
  return NoCaseLess(a, b);
}

MakePlan ListedPlan(const Comparison& c) {
  MakePlan plan{false, {}, {}, {}, {}, 0, {}};
  for (size_t i = 0; i < c.oldTree.entries.size(); ++i) {
    if (c.deleted[i]) plan.deletes.push_back(Written(Old(c, i)));
  }
  for (size_t i = 0; i < c.newTree.entries.size(); ++i) {
    if (c.emitted[i]) plan.updates.push_back(Written(New(c, i)));
    if (c.carried[i]) plan.carried.push_back(static_cast<int>(i));
  }
  std::sort(plan.deletes.begin(), plan.deletes.end(), InnermostFirst);
  std::sort(plan.updates.begin(), plan.updates.end(), NoCaseLess);
  return plan;
}

// "Delete" = all empties the application directory but for the kept
// database; its tree walks pass over names starting with a full stop, and
// the running Updater cannot be copied back.
std::string WhyNotAll(const Comparison& c) {
  for (const MakeTree* tree : {&c.oldTree, &c.newTree}) {
    for (const TreeEntry& entry : tree->entries) {
      if (StartsWithFullStop(entry)) return Utf8(entry.path) + " starts with a full stop";
      if (tree == &c.newTree && IsTopUpdater(entry)) return "NEW holds " + Utf8(kUpdaterName);
    }
  }
  return "";
}

MakePlan AllPlan(const Comparison& c) {
  MakePlan plan{true, {}, {}, {}, {}, 0, {}};
  std::vector<std::u16string> directories;
  for (size_t i = 0; i < c.newTree.entries.size(); ++i) {
    const TreeEntry& entry = New(c, i);
    if (InDatabase(entry) && !c.choices.deleteDatabase) continue;
    plan.carried.push_back(static_cast<int>(i));
    if (entry.parent < 0) (entry.directory ? directories : plan.updates).push_back(Written(entry));
  }
  // Files first: with the whole directory gone, a file's copy creates it again.
  std::sort(plan.updates.begin(), plan.updates.end(), NoCaseLess);
  std::sort(directories.begin(), directories.end(), NoCaseLess);
  plan.updates.insert(plan.updates.end(), directories.begin(), directories.end());
  return plan;
}

}  // namespace

bool IsSettingsFile(const TreeEntry& entry) {
  return entry.parent < 0 &&
         WideCompareNoCase(entry.path.c_str(), LastName(kInstalledStatePath).c_str()) == 0;
}

bool PlanPackage(const MakeTree& oldTree, const MakeTree& newTree, const MakeChoices& choices,
                 bool settingsDiffer, MakePlan* plan, std::string* reason) {
  Comparison c{oldTree, newTree, choices, {}, {}, {}, {}, {}, {}, {}, {}, {}};
  FindDeletes(&c);
  if (!FindChanges(&c, reason)) return false;
  FindWholeDirectories(&c);
  FindCopies(&c);
  if (!KeepsDatabase(c, reason)) return false;
  std::string notAll = choices.replaceSettings ? WhyNotAll(c) : "";
  if (choices.replaceSettings && notAll.empty()) {
    *plan = AllPlan(c);
  } else {
    *plan = ListedPlan(c);
    if (!ListedCopiesHold(c, reason)) return false;
  }
  if (!notAll.empty()) {
    plan->notes.push_back("\"Delete\" = all cannot be used (" + notAll +
                          "): NEW's main.ini is copied over the panels' own instead");
  }
  if (settingsDiffer && !choices.replaceSettings) {
    plan->notes.push_back(
        "main.ini: NEW's settings differ from OLD's and are not carried: each panel keeps "
        "its own (pass --replace-settings to replace them)");
  }
  plan->sameAsOld.resize(c.newTree.entries.size());
  for (size_t i = 0; i < c.newTree.entries.size(); ++i) {
    plan->sameAsOld[i] = c.counterpart[i] >= 0 && !c.freshAbove[i] && !New(c, i).directory && !c.changed[i];
  }
  for (int i : plan->carried) {
    if (!New(c, static_cast<size_t>(i)).directory) plan->bytes += New(c, static_cast<size_t>(i)).size;
  }
  return Fits(c, *plan, reason);
}

}  // namespace nimbora
