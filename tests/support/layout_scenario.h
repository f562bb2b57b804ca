// Keyboard layout configurations for the tests of the snapshot and the rewrite: staging them in
// the stand-in registry, generating them from a source of choices (a seeded generator in the
// property test, the input bytes in a fuzzer), and checking what the rewrite left behind.
#pragma once

#include <ctype.h>
#include <stdint.h>
#include <stdio.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "winsim/control.h"

namespace layout_scenario {

const char PreloadKey[] = "HKCU\\Keyboard Layout\\Preload";
const char SubstitutesKey[] = "HKCU\\Keyboard Layout\\Substitutes";
const char LayoutsKey[] = "HKLM\\System\\CurrentControlSet\\Control\\Keyboard Layouts";

typedef std::vector<std::pair<std::string, std::string>> Values;  // name, data

struct Scenario {
  Values preload;
  Values substitutes;
  Values layouts;  // machine layout key, its "Layout File" ("" for none)
  std::string target;
};

inline void Stage(const Values& preload, const Values& substitutes, const Values& layouts) {
  winsim::CreateRegistryKey(PreloadKey);
  winsim::CreateRegistryKey(SubstitutesKey);
  winsim::CreateRegistryKey(LayoutsKey);
  for (const auto& value : preload) winsim::SetRegistryString(PreloadKey, value.first, value.second);
  for (const auto& value : substitutes) winsim::SetRegistryString(SubstitutesKey, value.first, value.second);
  for (const auto& layout : layouts) {
    const std::string key = std::string(LayoutsKey) + "\\" + layout.first;
    winsim::SetRegistryString(key, "Layout Text", "Deutsch");
    if (!layout.second.empty()) winsim::SetRegistryString(key, "Layout File", layout.second);
  }
}

inline void Stage(const Scenario& scenario) {
  Stage(scenario.preload, scenario.substitutes, scenario.layouts);
}

inline std::string Describe(const Scenario& s) {
  std::string text = "target " + s.target + "\n  Preload:";
  for (const auto& v : s.preload) text += " [" + v.first + "]=" + v.second;
  text += "\n  Substitutes:";
  for (const auto& v : s.substitutes) text += " " + v.first + "=" + v.second;
  text += "\n  machine:";
  for (const auto& v : s.layouts) text += " " + v.first + (v.second.empty() ? "(no file)" : "");
  return text;
}

// ---- Generation --------------------------------------------------------------------------------

// Returns a choice in 0 .. bound - 1.
typedef std::function<uint32_t(uint32_t bound)> Pick;

// Preload value names with the number and regularity the program gives them.
struct PreloadName {
  const char* name;
  int32_t number;
  bool canonical;
};
const PreloadName PreloadNames[] = {
    {"1", 1, true},      {"2", 2, true},       {"3", 3, true},      {"4", 4, true},
    {"5", 5, true},      {"6", 6, true},       {"7", 7, true},      {"8", 8, true},
    {"9", 9, true},      {"10", 10, true},     {"11", 11, true},    {"12", 12, true},
    {"0", 0, true},      {"01", 1, false},     {" 2", 2, false},    {"3a", 3, false},
    {"007", 7, false},   {"-1", -1, true},     {"200", 200, true},  {"201", 201, true},
    {"202", 202, true},  {"250", 250, true}};

inline const PreloadName* FindPreloadName(const std::string& name) {
  for (const PreloadName& known : PreloadNames) {
    if (name == known.name) return &known;
  }
  return nullptr;
}

template <typename T, size_t N>
const T& PickFrom(const Pick& pick, const T (&choices)[N]) {
  return choices[pick((uint32_t)N)];
}

// Preload data are distinct, and every substitute id has its Substitutes value: a Preload entry
// whose datum looks like a substitute id but has none is a broken configuration of its own.
inline Scenario Generate(const Pick& pick) {
  static const char* const Targets[] = {"a0010407", "a0010407", "a0010407", "A0010407", "a0090407", "00000407"};
  static const char* const Standard[] = {"00000407", "00000409", "0000040c", "00000807", "00000c07", "00001407"};
  static const char* const PlainKeys[] = {"a0050407", "b0010407"};
  static const char* const ServingLayouts[] = {"a0010407", "a0010407", "A0010407", "a0020407",
                                               "a0030407", "00000407", "b0020407"};
  Scenario s;
  s.target = PickFrom(pick, Targets);
  if (pick(8) != 0) s.layouts.push_back({"a0010407", "Quillmap.DLL"});
  const std::pair<const char*, const char*> others[] = {
      {"00000407", "KBDGR.DLL"}, {"00000807", "KBDSG.DLL"}, {"a0020407", "other.dll"}, {"00000409", "KBDUS.DLL"}};
  for (const auto& other : others) {
    if (pick(2) == 0) s.layouts.push_back({other.first, other.second});
  }

  std::vector<std::string> names;
  for (const PreloadName& name : PreloadNames) names.push_back(name.name);
  std::vector<std::string> used;
  auto unused = [&used](const std::string& data) {
    return std::find(used.begin(), used.end(), data) == used.end();
  };
  uint32_t count = pick(13);
  int nextId = 1;
  for (uint32_t i = 0; i < count && !names.empty(); ++i) {
    size_t at = pick((uint32_t)names.size());
    std::string name = names[at];
    names.erase(names.begin() + (long)at);
    std::string data;
    switch (pick(3)) {
      case 0:
        data = PickFrom(pick, Standard);
        if (unused(data) && pick(3) == 0) s.substitutes.push_back({data, PickFrom(pick, ServingLayouts)});
        break;
      case 1:
        data = PickFrom(pick, PlainKeys);
        break;
      default: {
        char id[16];
        snprintf(id, sizeof id, "d%03x0407", nextId++);
        data = id;
        s.substitutes.push_back({data, PickFrom(pick, ServingLayouts)});
        break;
      }
    }
    if (!unused(data)) continue;
    used.push_back(data);
    s.preload.push_back({name, data});
  }
  // Substitutes that no Preload entry refers to.
  for (uint32_t i = pick(3); i > 0; --i) {
    char id[16];
    snprintf(id, sizeof id, "e%03x0407", i);
    s.substitutes.push_back({id, PickFrom(pick, ServingLayouts)});
  }
  return s;
}

// ---- Checking the result -----------------------------------------------------------------------

inline bool SameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (tolower((unsigned char)a[i]) != tolower((unsigned char)b[i])) return false;
  }
  return true;
}

inline bool IsStandard(const std::string* key) {
  return key != nullptr && key->size() == 8 && key->compare(0, 5, "00000") == 0;
}

inline bool IsSubstituteId(const std::string& data) {
  return data.size() == 8 && data[0] == 'd' && data.compare(4, 4, "0407") == 0;
}

// What a correct rewrite leaves: whether the keys are rewritten at all, and the layout that
// serves each entry that is kept (its substitute, or its own layout).
struct Expectation {
  bool rewrite = false;
  std::vector<std::string> keptLayouts;
};

// `enumerated` is the Preload key as the platform enumerates it before the run.
inline Expectation Expect(const Scenario& s, const Values& enumerated) {
  Expectation e;
  bool installed = false;
  for (const auto& layout : s.layouts) {
    const std::string& key = layout.first;
    bool german = key.size() >= 8 && (key.compare(4, 4, "0407") == 0 || key.compare(4, 4, "0807") == 0 ||
                                      key.compare(4, 4, "0C07") == 0 || key.compare(4, 4, "1407") == 0);
    if (german && SameIgnoringCase(key, s.target)) installed = true;
  }
  if (!installed || IsStandard(&s.target)) return e;

  struct Entry {
    const std::string* layout;
    const std::string* substitute;
    int32_t number;
    bool standard;
  };
  std::vector<Entry> entries;
  for (const auto& value : enumerated) {
    Entry entry{&value.second, nullptr, 0, false};
    bool taken = false;
    for (const Entry& earlier : entries) taken = taken || *earlier.layout == value.second;
    for (const auto& substitute : s.substitutes) {
      if (!taken && substitute.first == value.second) entry.substitute = &substitute.second;
    }
    const PreloadName* name = FindPreloadName(value.first);
    entry.standard = IsStandard(entry.layout) || IsStandard(entry.substitute);
    entry.number = entry.standard || name->canonical ? name->number : 200;
    entries.push_back(entry);
  }
  int target = -1;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].substitute && SameIgnoringCase(*entries[i].substitute, s.target)) target = (int)i;
  }
  if (target == -1) return e;
  e.rewrite = true;
  bool targetLed = entries[(size_t)target].number == 1;
  for (size_t i = 0; i < entries.size(); ++i) {
    const Entry& entry = entries[i];
    bool kept = (int)i != target &&
                ((entry.standard && targetLed) || (entry.number >= 0 && entry.number <= 201));
    if (kept) e.keptLayouts.push_back(entry.substitute ? *entry.substitute : *entry.layout);
  }
  return e;
}

// An empty text when the registry after the run is what a correct rewrite leaves; otherwise
// what is wrong.
inline std::string Check(const Scenario& s, const Values& enumerated, const Values& substitutesBefore,
                         const Values& preloadAfter, const Values& substitutesAfter) {
  Expectation e = Expect(s, enumerated);
  if (!e.rewrite || e.keptLayouts.empty()) {
    if (preloadAfter != enumerated) return "Preload changed although nothing was to be written";
    if (substitutesAfter != substitutesBefore) return "Substitutes changed although nothing was to be written";
    return "";
  }
  std::map<std::string, std::string> substitutes(substitutesAfter.begin(), substitutesAfter.end());
  std::vector<std::string> names, resolved;
  for (const auto& value : preloadAfter) {
    names.push_back(value.first);
    auto found = substitutes.find(value.second);
    if (IsSubstituteId(value.second) && found == substitutes.end()) {
      return "Preload " + value.first + "=" + value.second + " has no Substitutes value";
    }
    resolved.push_back(found != substitutes.end() ? found->second : value.second);
  }
  std::vector<std::string> expectedNames;
  for (size_t i = 1; i <= e.keptLayouts.size(); ++i) expectedNames.push_back(std::to_string(i));
  std::sort(names.begin(), names.end());
  std::sort(expectedNames.begin(), expectedNames.end());
  if (names != expectedNames) {
    return "Preload names are not 1.." + std::to_string(e.keptLayouts.size());
  }
  std::vector<std::string> expectedLayouts = e.keptLayouts;
  std::sort(resolved.begin(), resolved.end());
  std::sort(expectedLayouts.begin(), expectedLayouts.end());
  if (resolved != expectedLayouts) {
    std::string text = "kept layouts differ: expected";
    for (const std::string& layout : expectedLayouts) text += " " + layout;
    text += ", got";
    for (const std::string& layout : resolved) text += " " + layout;
    return text;
  }
  for (const auto& substitute : substitutesAfter) {
    bool referred = false;
    for (const auto& value : preloadAfter) referred = referred || value.second == substitute.first;
    if (!referred) return "Substitutes value " + substitute.first + " is referred to by no Preload entry";
  }
  return "";
}

}  // namespace layout_scenario
