// lumhost's end of a bridge: lumbridge32.exe or lumbridge64.exe running
// under Wine on a private display, hosting one Windows module. Each entry
// point becomes a request; each answer must come within `answerSeconds`
// (Wine's start-up is not counted). A module that crashes, hangs or exits
// ends only the bridge: the call throws lumload::LoadError naming the entry point and
// the frame, and every later call returns 0 without doing anything, so the
// host can unwind. Another thread may abandon the bridge at any time: the
// bridge is killed and a call waiting on it returns at once with lumload::LoadError.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "loading/bridge/bridge_protocol.h"
#include "lum_plugin.h"

namespace lumhost {

class PrivateDisplay;

inline constexpr int answerSeconds = 5;
// A bridge whose answers ended has this long to exit before it is killed.
inline constexpr std::chrono::milliseconds exitGrace{2000};

class BridgeClient {
public:
    // Starts the bridge and loads the module; throws lumload::LoadError with one line.
    BridgeClient(const std::string& modulePath, bool sixtyFourBit);
    ~BridgeClient();
    BridgeClient(const BridgeClient&) = delete;
    BridgeClient& operator=(const BridgeClient&) = delete;

    // The entry points; records are the host's whole buffers, sent and returned byte for byte.
    int32_t init(void* info, std::size_t size);
    int32_t start();
    int32_t end();
    uint64_t getBitmap();
    int32_t getParamInfo(uint32_t id, void* record, std::size_t size);
    int32_t setParamInfo(uint32_t id, void* record, std::size_t size);
    int32_t displaySoundData(LumCanvas* canvas, const void* data, uint32_t length);

    // From any thread: kills the bridge (SIGKILL). A call blocked on it in
    // another thread throws lumload::LoadError at once; later calls return 0.
    void abandon();

private:
    struct Answer {
        int32_t result = 0;
        uint64_t bitmap = 0;
    };
    Answer call(lumbridge::Op op, const char* entry, lumbridge::RequestHead head, const void* payload, void* back);
    [[noreturn]] void fail(const char* entry, const std::string& what);
    void startBridge(std::vector<std::string> args, std::vector<std::string> environment);
    void stopBridge();
    uint32_t* sharedPixels(std::size_t bytes);
    std::string where(const char* entry) const;

    void waitForWine();
    // Waits up to `grace` for the bridge to end, kills it if it has not, and
    // reaps it; the wait status if it ended by itself, else nothing.
    std::optional<int> endBridge(std::chrono::milliseconds grace);

    std::string module_;
    std::string server_;
    std::vector<std::string> environment_;
    std::unique_ptr<PrivateDisplay> display_;
    // Read by abandon() on another thread; killed and reaped under processLock_,
    // so a kill never reaches a process id that has been reaped and reused.
    std::atomic<pid_t> pid_{-1};
    std::mutex processLock_;
    std::atomic<bool> abandoned_{false};
    int wake_[2] = {-1, -1};  // written by abandon(): wakes a call that waits on the bridge
    int toBridge_ = -1;
    int fromBridge_ = -1;
    int canvasFile_ = -1;
    uint32_t* canvas_ = nullptr;
    std::size_t canvasBytes_ = 0;
    uint64_t frames_ = 0;
    bool dead_ = false;
};

}  // namespace lumhost
