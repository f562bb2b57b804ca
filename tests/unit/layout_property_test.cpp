// The rewrite over many generated layout configurations: it never crashes or overruns (the
// sanitizers watch), leaves no key open, and what it writes keeps every entry that the rules keep
// with the layout that served it, numbered 1..n, each substitute id with its Substitutes value.
#include <gtest/gtest.h>
#include <stdio.h>

#include <random>
#include <string>
#include <vector>

#include "app/app.h"
#include "layouts/layouts.h"
#include "support/layout_scenario.h"
#include "winsim/control.h"

namespace {

using layout_scenario::PreloadKey;
using layout_scenario::SubstitutesKey;

TEST(RewriteProperty, KeepsWhatTheRulesKeep) {
  std::mt19937 random(20240607u);
  layout_scenario::Pick pick = [&random](uint32_t bound) {
    return bound == 0 ? 0u : (uint32_t)(random() % bound);
  };
  int rewritten = 0, refused = 0;
  for (int iteration = 0; iteration < 3000; ++iteration) {
    winsim::Reset();
    layout_scenario::Scenario scenario = layout_scenario::Generate(pick);
    layout_scenario::Stage(scenario);
    snprintf(TargetLayoutKey, sizeof TargetLayoutKey, "%s", scenario.target.c_str());
    const layout_scenario::Values preloadBefore = winsim::RegistryStrings(PreloadKey);
    const layout_scenario::Values substitutesBefore = winsim::RegistryStrings(SubstitutesKey);
    const std::string where = "iteration " + std::to_string(iteration) + ", " + layout_scenario::Describe(scenario);

    ASSERT_TRUE(LoadLayoutConfiguration()) << where << "\n" << LayoutErrorText;
    bool removed = RemoveTargetFromPreload();
    bool written = WriteLayoutLists();
    ASSERT_EQ(std::vector<std::string>{}, winsim::OpenKeyHandles()) << where;

    const layout_scenario::Values preloadAfter = winsim::RegistryStrings(PreloadKey);
    const layout_scenario::Values substitutesAfter = winsim::RegistryStrings(SubstitutesKey);
    ASSERT_EQ("", layout_scenario::Check(scenario, preloadBefore, substitutesBefore, preloadAfter,
                                         substitutesAfter))
        << where;

    layout_scenario::Expectation expected = layout_scenario::Expect(scenario, preloadBefore);
    bool writes = expected.rewrite && !expected.keptLayouts.empty();
    ASSERT_EQ(writes || TargetNotInPreload, written) << where << "\n" << LayoutErrorText;
    ASSERT_EQ(expected.rewrite || TargetNotInPreload, removed) << where;
    if (writes) ++rewritten;
    if (!removed) ++refused;
  }
  // The generator reaches both outcomes often enough to mean something.
  EXPECT_GT(rewritten, 1000);
  EXPECT_GT(refused, 100);
}

}  // namespace
