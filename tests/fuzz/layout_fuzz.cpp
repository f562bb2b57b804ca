// The layout snapshot and the rewrite of the user's lists over fuzzed registry contents.
//
// Input: the first byte chooses the kind of configuration.
// - Below 0x80, a configuration as Windows keeps it: the bytes that follow are the choices of
//   layout_scenario::Generate, and the result is judged by layout_scenario::Check: Preload names
//   exactly 1..n, every kept entry still there with its layout or its substitute's layout, every
//   substitute id with its Substitutes value.
// - From 0x80 on, hostile contents: names and data of any bytes and length (also beyond the
//   260-byte buffers, unterminated, of non-string types), more entries than the tables hold,
//   and now and then one failing registry or heap call. Nothing can be expected of the lists
//   then but their shape: what is written is numbered 1..n, holds only layouts read before,
//   every substitute id the rewrite made has its Substitutes value, and a run that writes
//   nothing leaves both keys as they were.
// In both, no key handle stays open, and the sanitizers watch every buffer.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "app/app.h"
#include "layouts/layouts.h"
#include "support/layout_scenario.h"
#include "winsim/control.h"

namespace {

using layout_scenario::LayoutsKey;
using layout_scenario::PreloadKey;
using layout_scenario::SubstitutesKey;

void Require(bool condition, const std::string& what) {
  if (condition) return;
  fprintf(stderr, "layout_fuzz: invariant broken: %s\n", what.c_str());
  abort();
}

// The input bytes as a source of choices; 0 once they are used up.
struct Choices {
  const uint8_t* data;
  size_t size;
  size_t at = 0;
  uint32_t Next() { return at < size ? data[at++] : 0u; }
  uint32_t Pick(uint32_t bound) { return bound == 0 ? 0u : Next() % bound; }
  std::string Bytes(size_t length) {
    std::string bytes;
    while (bytes.size() < length) bytes += (char)Next();
    return bytes;
  }
};

// After a refused snapshot TargetIndex may name the entry whose reading failed: nothing reads the
// snapshot then.
void CheckSharedState(bool loaded) {
  Require(winsim::OpenKeyHandles().empty(), "no key handle left open");
  Require(memchr(LayoutErrorText, 0, sizeof LayoutErrorText) != nullptr, "LayoutErrorText terminated");
  Require(PreloadCount <= (uint32_t)MaxPreloadEntries && LayoutCount <= (uint32_t)MaxInstalledLayouts,
          "the tables never hold more than they have room for");
  if (loaded) {
    Require(TargetIndex >= -1 && TargetIndex < (int32_t)LayoutCount, "TargetIndex is -1 or a catalogue index");
  }
}

// ---- A configuration as Windows keeps it -------------------------------------------------------

void RunGenerated(Choices& choices) {
  layout_scenario::Pick pick = [&choices](uint32_t bound) { return choices.Pick(bound); };
  const layout_scenario::Scenario scenario = layout_scenario::Generate(pick);
  layout_scenario::Stage(scenario);
  snprintf(TargetLayoutKey, sizeof TargetLayoutKey, "%s", scenario.target.c_str());
  const layout_scenario::Values preloadBefore = winsim::RegistryStrings(PreloadKey);
  const layout_scenario::Values substitutesBefore = winsim::RegistryStrings(SubstitutesKey);
  const std::string where = "\n" + layout_scenario::Describe(scenario);

  Require(LoadLayoutConfiguration(), "a configuration as Windows keeps it is read" + where);
  CheckSharedState(true);
  const bool removed = RemoveTargetFromPreload();
  const bool written = WriteLayoutLists();
  CheckSharedState(true);

  const std::string wrong =
      layout_scenario::Check(scenario, preloadBefore, substitutesBefore, winsim::RegistryStrings(PreloadKey),
                             winsim::RegistryStrings(SubstitutesKey));
  Require(wrong.empty(), wrong + where);
  const layout_scenario::Expectation expected = layout_scenario::Expect(scenario, preloadBefore);
  const bool writes = expected.rewrite && !expected.keptLayouts.empty();
  Require(written == (writes || TargetNotInPreload), "WriteLayoutLists reports what it did" + where);
  Require(removed == (expected.rewrite || TargetNotInPreload), "RemoveTargetFromPreload refuses only what it must" + where);
}

// ---- Hostile contents ---------------------------------------------------------------------------

const DWORD Types[] = {REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_BINARY, REG_DWORD, REG_NONE};
const char* const Layouts[] = {"00000407", "00000409", "a0010407", "A0010407", "d0010407", "d0020407",
                               "00000807", "a0020407", "00000C07", "b0010407"};

struct Datum {
  DWORD type;
  std::string bytes;
};

Datum MakeDatum(Choices& c) {
  switch (c.Pick(8)) {
    case 1: {
      char id[16];
      snprintf(id, sizeof id, "d%03x0407", c.Pick(40));
      return {REG_SZ, std::string(id) + '\0'};
    }
    case 2: {  // any bytes of any type, unterminated
      DWORD type = Types[c.Pick(6)];
      return {type, c.Bytes(c.Pick(24))};
    }
    case 3: {  // around the 260 bytes the enumeration takes, with or without the terminator
      std::string text(255 + c.Pick(10), 'x');
      if (c.Pick(2) == 0) text += '\0';
      return {REG_SZ, text};
    }
    case 4:
      return {REG_DWORD, c.Bytes(4)};
    case 5:
      return {REG_SZ, ""};
    default:
      return {REG_SZ, std::string(Layouts[c.Pick(10)]) + '\0'};
  }
}

std::string MakeValueName(Choices& c, size_t index) {
  static const char* const Irregular[] = {"0", "01", " 2", "3a", "-1", "200", "201", "250", "2147483648", "99999999999"};
  switch (c.Pick(8)) {
    case 1:
      return Irregular[c.Pick(10)];
    case 2:
      return c.Bytes(c.Pick(16));
    case 3:  // around the 260 bytes of ValueName
      return std::string(255 + c.Pick(10), 'n');
    case 4:
      return "";
    default:
      return std::to_string(index + 1);
  }
}

std::string MakeSubstituteName(Choices& c) {
  switch (c.Pick(4)) {
    case 1:
      return c.Bytes(c.Pick(16));
    case 2:
      return std::string(255 + c.Pick(10), 's');
    default:
      return Layouts[c.Pick(10)];
  }
}

// Registry key names: no backslash (it would nest keys) and no zero byte.
std::string KeyName(std::string name) {
  for (char& ch : name) {
    if (ch == '\\' || ch == 0) ch = '_';
  }
  return name.empty() ? "_" : name;
}

std::string MakeLayoutKeyName(Choices& c, size_t index) {
  static const char* const Names[] = {"a0010407", "A0010407", "00000407", "00000c07", "00000C07", "0000040", "a0001407"};
  char sequential[16];
  switch (c.Pick(4)) {
    case 1:
      return Names[c.Pick(7)];
    case 2:
      return KeyName(c.Bytes(c.Pick(12)));
    case 3:  // a German language part, and a name around the 260 bytes of SubkeyName
      return "abcd0407" + std::string(250 + c.Pick(12), 'k');
    default:
      snprintf(sequential, sizeof sequential, "%04x0407", (unsigned)index);
      return sequential;
  }
}

struct Fault {
  const char* function;
  uint32_t error;
};
const Fault Faults[] = {{"RegEnumValueA", ERROR_ACCESS_DENIED},  {"RegEnumKeyExA", ERROR_ACCESS_DENIED},
                        {"RegSetValueExA", ERROR_ACCESS_DENIED}, {"RegDeleteKeyA", ERROR_ACCESS_DENIED},
                        {"RegCreateKeyExA", ERROR_ACCESS_DENIED}, {"RegOpenKeyExA", ERROR_ACCESS_DENIED},
                        {"RegQueryInfoKeyA", ERROR_ACCESS_DENIED}, {"HeapAlloc", 0}};

// A Preload or Substitutes datum as the program reads it: a text up to its first zero.
std::string AsText(const std::string& bytes) { return bytes.substr(0, bytes.find('\0')); }

void RunHostile(Choices& c) {
  static const char* const Targets[] = {"a0010407", "A0010407", "00000407"};
  uint32_t targetChoice = c.Pick(4);
  std::string target = targetChoice < 3 ? Targets[targetChoice] : KeyName(c.Bytes(4)) + "0407";
  snprintf(TargetLayoutKey, sizeof TargetLayoutKey, "%s", target.c_str());

  winsim::CreateRegistryKey(PreloadKey);
  winsim::CreateRegistryKey(SubstitutesKey);
  winsim::CreateRegistryKey(LayoutsKey);
  for (size_t i = 0, count = c.Pick(128); i < count; ++i) {
    std::string name = MakeValueName(c, i);
    Datum datum = MakeDatum(c);
    winsim::SetRegistryValue(PreloadKey, name, datum.type, datum.bytes);
  }
  for (size_t i = 0, count = c.Pick(16); i < count; ++i) {
    std::string name = MakeSubstituteName(c);
    Datum datum = MakeDatum(c);
    winsim::SetRegistryValue(SubstitutesKey, name, datum.type, datum.bytes);
  }
  for (size_t i = 0, count = c.Pick(128); i < count; ++i) {
    const std::string key = std::string(LayoutsKey) + "\\" + MakeLayoutKeyName(c, i);
    winsim::CreateRegistryKey(key);
    switch (c.Pick(4)) {
      case 0:
        break;
      case 1:
        winsim::SetRegistryString(key, "Layout File", "Quillmap.DLL");
        break;
      default: {
        Datum datum = MakeDatum(c);
        winsim::SetRegistryValue(key, c.Pick(2) ? "Layout File" : MakeValueName(c, 0), datum.type, datum.bytes);
      }
    }
  }
  bool faulty = false;
  if (c.Pick(4) == 0) {
    const Fault& fault = Faults[c.Pick(8)];
    winsim::FailCall(fault.function, "*", fault.error, 1, (int)c.Pick(16));
    faulty = true;
  }

  const std::vector<winsim::RegistryValue> preloadBefore = winsim::RegistryValues(PreloadKey);
  const std::vector<winsim::RegistryValue> substitutesBefore = winsim::RegistryValues(SubstitutesKey);
  auto unchanged = [&] {
    auto same = [](const std::vector<winsim::RegistryValue>& a, const std::vector<winsim::RegistryValue>& b) {
      if (a.size() != b.size()) return false;
      for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].name != b[i].name || a[i].type != b[i].type || a[i].data != b[i].data) return false;
      }
      return true;
    };
    return winsim::KeyExists(PreloadKey) && winsim::KeyExists(SubstitutesKey) &&
           same(preloadBefore, winsim::RegistryValues(PreloadKey)) &&
           same(substitutesBefore, winsim::RegistryValues(SubstitutesKey));
  };

  const bool loaded = LoadLayoutConfiguration();
  CheckSharedState(loaded);
  if (!loaded) {
    Require(LayoutErrorText[0] != 0, "a refused snapshot says why");
    Require(unchanged(), "reading the configuration changes nothing");
    return;
  }
  const bool removed = RemoveTargetFromPreload();
  const bool written = WriteLayoutLists();
  CheckSharedState(true);

  if (!removed || TargetNotInPreload || newpreloadcount == 0) {
    Require(written == (removed && TargetNotInPreload), "WriteLayoutLists reports that nothing was written");
    Require(unchanged(), "a run without new lists leaves both keys as they were");
    return;
  }
  Require(written || faulty, "new lists are written whole when every call succeeds");
  if (!written) return;

  Require(newpreloadcount < PreloadCount, "the rewrite drops at least the removed entry");
  std::set<std::string> before;
  for (const auto& value : preloadBefore) before.insert(AsText(value.data));
  for (const auto& value : substitutesBefore) before.insert(AsText(value.data));

  std::set<std::string> names, data;
  const std::vector<winsim::RegistryValue> preloadAfter = winsim::RegistryValues(PreloadKey);
  const std::vector<winsim::RegistryValue> substitutesAfter = winsim::RegistryValues(SubstitutesKey);
  for (const auto& value : preloadAfter) {
    names.insert(value.name);
    data.insert(AsText(value.data));
  }
  std::set<std::string> expectedNames;
  for (uint32_t i = 1; i <= newpreloadcount; ++i) expectedNames.insert(std::to_string(i));
  Require(preloadAfter.size() == newpreloadcount && names == expectedNames, "Preload names are exactly 1..n");
  Require(substitutesAfter.size() == NewSubstituteCount, "every new substitute id is written once");
  std::set<std::string> substituteNames;
  for (const auto& value : substitutesAfter) substituteNames.insert(value.name);
  for (const auto& list : {preloadAfter, substitutesAfter}) {
    for (const auto& value : list) {
      Require(value.type == REG_SZ && !value.data.empty() && value.data.find('\0') == value.data.size() - 1,
              "every value written is one terminated text");
    }
  }
  for (const auto& value : substitutesAfter) {
    Require(data.count(value.name) == 1, "Substitutes value " + value.name + " is referred to by a Preload entry");
    Require(before.count(AsText(value.data)) == 1, "Substitutes value " + value.name + " holds a layout read before");
  }
  for (uint32_t i = 0; i < NewSubstituteCount; ++i) {
    Require(substituteNames.count(NewSubstituteList[i].name) == 1, "every new substitute id has its Substitutes value");
  }
  for (const auto& value : preloadAfter) {
    const std::string datum = AsText(value.data);
    Require(substituteNames.count(datum) == 1 || before.count(datum) == 1,
            "Preload " + value.name + " holds a layout read before or a substitute id");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  winsim::Reset();
  memset(TargetLayoutKey, 0, sizeof TargetLayoutKey);
  memset(LayoutErrorText, 0, sizeof LayoutErrorText);
  Choices choices{data + 1, size - 1};
  if (data[0] < 0x80) {
    RunGenerated(choices);
  } else {
    RunHostile(choices);
  }
  return 0;
}
