// Apart from the rest of the support code, so that a test which never starts
// the game's list links none of it, and its image stays small.
#include <gtest/gtest.h>

#include <atomic>

#include "test_support.h"

namespace wintest {

sandbox::GameWindow StartBrackwellInGame(sandbox::ListState list) {
    EXPECT_TRUE(sandbox::InstallWatchedGameObject());
    sandbox::SetListState(list);
    const sandbox::LoadedPlugin plugin = LoadBrackwell();
    if (plugin.load == nullptr) return {};
    static const bw::HostInterface host{bw::kAcceptedHostVersion};
    static std::atomic<int> result{-1};
    const sandbox::GameWindow game = sandbox::StartGameWindow([load = plugin.load] { result = load(&host) ? 1 : 0; });
    EXPECT_NE(game.window, nullptr);
    EXPECT_TRUE(WaitUntil([] { return result != -1; }));
    EXPECT_EQ(result, 1);
    return game;
}

}  // namespace wintest
