#include "lumhost/sound/demo_signal.h"

#include "rules/demo_signal.h"

namespace lumhost {
namespace {

class DemoSource final : public AudioSource {
public:
    int channels() const override { return lumrules::demoChannels; }
    int sampleRate() const override { return lumrules::demoSampleRate; }
    int64_t frames() const override { return lumrules::demoFrames; }
    std::string name() const override { return "the demo signal"; }
    std::size_t read(float* interleaved, std::size_t count) override { return signal_.read(interleaved, count); }

private:
    lumrules::DemoSignal signal_;
};

}  // namespace

std::unique_ptr<AudioSource> makeDemoSignal() { return std::make_unique<DemoSource>(); }

}  // namespace lumhost
