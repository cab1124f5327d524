// The keys of the live window.
#include <gtest/gtest.h>

#include "lum_plugin.h"
#include "lumhost/window/play_keys.h"

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
    EXPECT_EQ(findKey(SDLK_RETURN)->action, KeyAction::nextFile);
    EXPECT_EQ(findKey(SDLK_ESCAPE)->action, KeyAction::quit);
    EXPECT_EQ(findKey(SDLK_F5), nullptr);
}

TEST(PlayKeys, EveryBoundKeyHasAnSdlKey) {
    // Each name in the table is one SDL's codes map to, so no key is
    // unreachable in the window.
    for (const auto& binding : playKeys()) {
        if (binding.typed) continue;
        bool reached = false;
        for (SDL_Keycode key : {SDLK_LEFT, SDLK_RIGHT, SDLK_UP, SDLK_DOWN, SDLK_RETURN, SDLK_ESCAPE})
            reached = reached || keyName(key) == binding.key;
        for (SDL_Keycode key = 0x20; key < 0x7F; ++key) reached = reached || keyName(key) == binding.key;
        EXPECT_TRUE(reached) << binding.key;
    }
}

}  // namespace
}  // namespace lumhost
