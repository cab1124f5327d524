// The player's key table that every front end and help text reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "lum_plugin.h"
#include "rules/play_keys.h"

namespace lumrules {
namespace {

TEST(KeyTable, EveryKeyOnceAndEveryPairHelpedOnce) {
    std::set<std::pair<std::string, bool>> seen;
    for (const auto& binding : playKeys()) EXPECT_TRUE(seen.emplace(binding.key, binding.typed).second) << binding.key;
    EXPECT_EQ(keyHelpLines().size(), pageKeyHelpLines().size());
    for (const auto& binding : playKeys()) {
        if (binding.action == KeyAction::step) {
            EXPECT_NE(binding.paramId, 0u) << binding.key;
        }
    }
}

TEST(KeyTable, ThePlayersKeysAndTheSettingsKeys) {
    EXPECT_EQ(findKey(" ")->action, KeyAction::pause);
    EXPECT_EQ(findKey("ArrowRight")->step, 5);
    EXPECT_EQ(findKey("ArrowUp")->step, 60);
    EXPECT_EQ(findKey("f")->action, KeyAction::fullscreen);
    EXPECT_EQ(findKey("a")->paramId, static_cast<uint32_t>(PARAM_ZOOM_FACTOR));
    EXPECT_EQ(findKey("z")->step, -1);
    EXPECT_EQ(findKey("t")->paramId, static_cast<uint32_t>(PARAM_FADE_OUT));
    EXPECT_EQ(findTyped(">")->action, KeyAction::nextFile);
    EXPECT_EQ(findKey(">"), nullptr) << "'>' is matched by what is typed";
    EXPECT_EQ(findTyped("a"), nullptr);
}

TEST(KeyTable, ThePagesHelpSaysWhereAKeyDoesNothingThere) {
    const auto lumhost = keyHelpLines(), page = pageKeyHelpLines();
    for (std::size_t i = 0; i < lumhost.size(); ++i) EXPECT_EQ(page[i].rfind(lumhost[i], 0), 0u) << page[i];
    int noted = 0;
    for (const auto& binding : playKeys())
        if (binding.pageNote != nullptr && binding.help != nullptr) ++noted;
    EXPECT_GE(noted, 3);  // files, the delay, quitting
    EXPECT_NE(std::find_if(page.begin(), page.end(), [](const std::string& line) { return line.find("q ") == 0 && line.find("close the tab") != std::string::npos; }),
              page.end());
}

TEST(KeyTable, StepsFlipTogglesAndCycleColours) {
    EXPECT_EQ(steppedValue(PARAMTYPE_INTEGER, 90, 1), 91);
    EXPECT_EQ(steppedValue(PARAMTYPE_TOGGLE, 7, 0), 0);
    EXPECT_EQ(steppedValue(PARAMTYPE_TOGGLE, 0, 0), 1);
    const auto colours = playColours();
    EXPECT_EQ(steppedValue(PARAMTYPE_COLOR, colours[0], 0), colours[1]);
    EXPECT_EQ(steppedValue(PARAMTYPE_COLOR, colours.back(), 0), colours[0]);
    EXPECT_EQ(steppedValue(PARAMTYPE_COLOR, 0x123456, 0), colours[0]);
    EXPECT_EQ(steppedValue(PARAMTYPE_INTEGER, INT32_MAX, 1), INT32_MIN) << "no overflow trap; the plug-in clamps";
}

}  // namespace
}  // namespace lumrules
