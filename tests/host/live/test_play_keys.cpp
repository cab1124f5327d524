// The keys of the live window.
#include <gtest/gtest.h>

#include "host/live/play_keys.h"
#include "lum_plugin.h"

namespace lumhost {
namespace {

TEST(PlayKeys, PlayerKeysAsMpvHasThemAndEveryKeyOnce) {
    EXPECT_EQ(findKey(SDLK_SPACE)->action, KeyAction::pause);
    EXPECT_EQ(findKey(SDLK_RIGHT)->step, 5);
    EXPECT_EQ(findKey(SDLK_DOWN)->step, -60);
    EXPECT_EQ(findKey(SDLK_f)->action, KeyAction::fullscreen);
    EXPECT_EQ(findKey(SDLK_m)->action, KeyAction::mute);
    EXPECT_EQ(findKey(SDLK_0)->step, 10);
    EXPECT_EQ(findTyped(">")->action, KeyAction::nextFile);
    EXPECT_EQ(findTyped("<")->action, KeyAction::previousFile);
    EXPECT_EQ(findTyped("<<"), nullptr);
    EXPECT_EQ(findKey(SDLK_COMMA)->paramId, static_cast<uint32_t>(PARAM_LINE_WIDTH));
    EXPECT_EQ(findKey(SDLK_COMMA, KMOD_LSHIFT), nullptr) << "Shift+, types '<': not also line width";
    EXPECT_EQ(findKey(SDLK_LESS), nullptr) << "'<' is matched by what is typed, not by the key";
    for (const auto& a : playKeys())
        for (const auto& b : playKeys())
            if (&a != &b) {
                EXPECT_FALSE(a.key == b.key && a.typed == b.typed) << a.key;
            }
}

}  // namespace
}  // namespace lumhost
