// make's plan: what the package deletes and copies so that a panel holding
// OLD ends with NEW, found in one pass over each tree, and the reasons a
// change cannot be carried without harm.
#pragma once

#include <string>
#include <vector>

#include "make_tree.h"

namespace nimbora {

struct MakeChoices {
  bool deleteDatabase;   // the package may delete or replace Database\ and its contents
  bool replaceSettings;  // NEW's main.ini replaces the panels' own ("Delete" = all)
};

struct MakePlan {
  bool deleteAll;
  std::vector<std::u16string> deletes;  // as written: a directory ends with "\"
  std::vector<std::u16string> updates;
  std::vector<int> carried;        // NEW's entries the package holds, a directory first
  std::vector<char> sameAsOld;     // per NEW entry: a file found to hold OLD's bytes
  long long bytes;                 // of the files carried
  std::vector<std::string> notes;  // what the author should know, the plan being sound
};

// false with the reason when OLD cannot become NEW without harm.
bool PlanPackage(const MakeTree& oldTree, const MakeTree& newTree, const MakeChoices& choices,
                 bool settingsDiffer, MakePlan* plan, std::string* reason);

// Whether entry (relative, no final separator) is main.ini at the top.
bool IsSettingsFile(const TreeEntry& entry);

}  // namespace nimbora
