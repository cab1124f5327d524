#include "lumhost/player/player.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "lumhost/base/host_error.h"
#include "lumhost/base/interrupt.h"
#include "lumhost/base/time_text.h"
#include "lumhost/sound/playlist.h"

namespace lumhost {

Player::Player(PlayerSettings settings, SoundOpener open, OutputMaker makeOutput)
    : settings_(std::move(settings)), open_(std::move(open)), makeOutput_(std::move(makeOutput)),
      delayMs_(std::clamp(settings_.delayMs, lumrules::minDelayMs, lumrules::maxDelayMs)) {
    files_ = expandPlaylist(settings_.arguments);
    if (settings_.arguments.empty()) files_.emplace_back();  // the demo
    if (files_.empty()) throw HostError("the playlist holds no files");
}

void Player::begin() {
    if (files_.size() == 1)
        open(0, settings_.start, true);
    else if (!openFrom(0, 1))
        throw HostError("no file of the playlist plays");
}

bool Player::open(std::size_t index, double seconds, bool fail) {
    const std::optional<std::string> file = files_[index].empty() ? std::nullopt : std::optional<std::string>(files_[index]);
    const double end = settings_.duration ? settings_.start + *settings_.duration : INFINITY;
    std::optional<double> duration;
    if (settings_.duration) duration = end - seconds;
    double length = INFINITY;
    bool replaced = false;
    try {
        if (duration && *duration <= 0) throw HostError("past the end");
        auto source = open_(file, seconds, duration);
        // What is left of the file, before any of it is read.
        length = static_cast<double>(source->frames()) / source->sampleRate();
        // Up to here the file playing is untouched; from here on the new one takes its place.
        current_.reset();
        replaced = true;
        // The output plays at the file's own rate and channels.
        if (!output_ || rate_ != source->sampleRate() || channels_ != source->channels()) {
            output_.reset();
            rate_ = source->sampleRate();
            channels_ = source->channels();
            output_ = makeOutput_(rate_, channels_);
            output_->setGain(gain());
            output_->pause(paused_);
        }
        output_->restart();
        current_ = std::make_unique<SoundWindow>(std::move(source), *output_, settings_.fps, settings_.layout);
        current_->fill(delayFrames());
    } catch (const Interrupted&) {
        throw;
    } catch (const HostError& error) {
        // A file that opened but then failed has already taken the old one's place.
        if (replaced) current_.reset();
        if (fail) throw;
        std::fprintf(stderr, "lumhost: %s\n", error.what());
        ++failures_;
        return false;
    }
    index_ = index;
    base_ = seconds;
    end_ = std::min(end, seconds + length);
    return true;
}

bool Player::openFrom(std::size_t index, int direction) {
    for (auto at = static_cast<std::ptrdiff_t>(index); at >= 0 && at < static_cast<std::ptrdiff_t>(files_.size()); at += direction)
        if (open(static_cast<std::size_t>(at), settings_.start)) return true;
    return false;
}

void Player::announce(PlayerScreen& screen) {
    screen.playing(label());
    screen.show({where()}, 3.0);
}

void Player::changeFile(int direction, PlayerScreen& screen) {
    const auto at = static_cast<std::ptrdiff_t>(index_) + direction;
    if (at >= 0 && at < static_cast<std::ptrdiff_t>(files_.size()) && openFrom(static_cast<std::size_t>(at), direction)) {
        announce(screen);
        return;
    }
    if (direction > 0) {
        over_ = true;
        return;
    }
    // Nothing before this file plays: it plays on, or from its start if a
    // file that opened and then failed took its place.
    if (current_) return;
    if (open(index_, settings_.start))
        announce(screen);
    else
        changeFile(1, screen);
}

bool Player::advance(PlayerScreen& screen, const BlockShow& show) {
    if (over_ || paused_ || !current_) return false;
    bool shown = false;
    try {
        current_->fill(delayFrames());
        // Every block whose frame has begun on the output's clock (less the delay), in order.
        while (current_->nextBlock(delayFrames(), block_)) {
            show(block_);
            shown = true;
        }
        if (current_->finished(delayFrames())) {
            reportSoundWarnings(current_->source());
            changeFile(1, screen);
        }
    } catch (const Interrupted&) {
        throw;
    } catch (const HostError& error) {
        // A file that fails while it plays: its line, and on to the next.
        std::fprintf(stderr, "lumhost: %s\n", error.what());
        changeFile(1, screen);
    }
    return shown;
}

void Player::restartFile(PlayerScreen& screen) {
    if (!open(index_, settings_.start)) changeFile(1, screen);
}

void Player::togglePause(PlayerScreen& screen) {
    paused_ = !paused_;
    if (output_) output_->pause(paused_);
    if (paused_) {
        if (commentary()) std::fprintf(stderr, "lumhost: paused at %s\n", formatTime(seconds()).c_str());
        screen.show({"paused", where()}, 0);
    } else {
        tell(screen, "playing from " + formatTime(seconds()), true, 1.5);
    }
}

void Player::seek(double step, PlayerScreen& screen) {
    const double target = std::max(settings_.start, seconds() + step);
    if (target >= end_ || !open(index_, target)) {
        changeFile(1, screen);
        return;
    }
    if (commentary()) std::fprintf(stderr, "lumhost: at %s\n", formatTime(target).c_str());
    screen.show(paused_ ? std::vector<std::string>{"paused", where()} : std::vector<std::string>{where()}, paused_ ? 0 : 2.0);
}

void Player::setVolume(int percent, bool muted) {
    volume_ = std::clamp(percent, 0, 100);
    muted_ = muted;
    if (!output_) return;
    // What is queued is played again at the new gain at once.
    output_->setGain(gain());
    if (current_) current_->requeue();
}

void Player::toggleMute(PlayerScreen& screen) {
    setVolume(volume_, !muted_);
    tell(screen, muted_ ? "muted" : "volume " + std::to_string(volume_) + "%");
}

void Player::changeVolume(int step, PlayerScreen& screen) {
    setVolume(volume_ + step, false);
    tell(screen, "volume " + std::to_string(volume_) + "%");
}

void Player::changeDelay(int stepMs, PlayerScreen& screen) {
    delayMs_ = std::clamp(delayMs_ + stepMs, lumrules::minDelayMs, lumrules::maxDelayMs);
    tell(screen, delayText(delayMs_));
}

double Player::seconds() const {
    if (!current_) return 0;
    // The silence after the end of a file, while a late figure catches up, is not part of it.
    return std::min(end_, base_ + static_cast<double>(output_->position()) / current_->rate());
}

std::string Player::label() const {
    return files_[index_].empty() ? "demo" : std::filesystem::path(files_[index_]).filename().string();
}

std::string Player::where() const {
    std::string text = label() + "  " + formatTime(std::max(0.0, seconds()));
    if (std::isfinite(end_)) text += " / " + formatTime(end_);
    if (files_.size() > 1) text += "  [" + std::to_string(index_ + 1) + "/" + std::to_string(files_.size()) + "]";
    return text;
}

}  // namespace lumhost
