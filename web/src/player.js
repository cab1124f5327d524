// Playing: the sound through Web Audio and the figure in step with what is
// heard. A source's pieces are scheduled as buffers about a second ahead of
// the audio clock and queued for the blocks; on each animation frame the
// blocks whose frames the listener has reached (the audio clock less the
// output latency) are drawn, each exactly once, in order. Pause suspends the
// audio clock; a seek starts a new run (lumStart) at the new position.
// The sound goes out through one gain, for mute and the volume keys.
import { BlockCutter } from './blocks.js';

const ahead = 1.0;        // seconds of sound scheduled ahead of the clock
const catchUp = 120;      // most blocks drawn on one animation frame

export class Player {
  constructor(plugin, view, { fps, onState = () => {}, onError = () => {} } = {}) {
    this.plugin = plugin;
    this.view = view;           // {draw(): void} puts the plug-in's canvas on screen
    this.fps = fps;
    this.onState = onState;
    this.onError = onError;
    this.context = null;
    this.gain = null;
    this.source = null;
    this.run = null;
    this.volume = 100;    // percent, as lumhost play's
    this.muted = false;
  }

  get playing() { return this.run !== null && this.context?.state === 'running' && !this.run.paused; }

  audioContext() {
    if (!this.context) {
      this.context = new AudioContext({ latencyHint: 'interactive' });
      this.gain = this.context.createGain();
      this.gain.connect(this.context.destination);
      this.applyVolume();
    }
    return this.context;
  }

  // The volume in percent (0 to 100, as lumhost play keeps it) and mute.
  setVolume(percent, muted = false) {
    this.volume = Math.min(100, Math.max(0, Math.round(percent)));
    this.muted = muted;
    this.applyVolume();
  }

  applyVolume() {
    if (this.gain) this.gain.gain.value = this.muted ? 0 : this.volume / 100;
  }

  async load(source) {
    this.stop();
    this.source = source;
    this.position = 0;
    this.onState();
  }

  // Seconds of the sound the listener hears now.
  heardTime() {
    const run = this.run;
    if (!run) return this.position ?? 0;
    const c = this.context;
    const heard = c.currentTime - (c.outputLatency || 0) - run.clockStart;
    return run.start + Math.max(0, heard);
  }

  async play(from = this.position ?? 0) {
    if (!this.source) return;
    const context = this.audioContext();
    if (this.run && this.run.paused) {
      this.run.paused = false;
      await context.resume();
      this.onState();
      return;
    }
    this.stop();
    await context.resume();
    const source = this.source;
    const start = Math.min(Math.max(0, from), source.duration);
    const run = {
      source, start, paused: false, ended: false, done: false,
      chunks: source.chunks(start),
      cutter: new BlockCutter(this.plugin, { rate: source.rate, channels: source.channels, fps: this.fps }),
      clockStart: context.currentTime + 0.15,
      scheduled: 0,       // sample frames scheduled since start
      nodes: new Set(),
    };
    this.run = run;
    this.plugin.start();
    this.onState();
    this.pump(run).catch((e) => { if (this.run === run) { this.stop(); this.onError(e); } });
    const tick = () => {
      if (this.run !== run) return;
      this.drawDue(run);
      run.raf = requestAnimationFrame(tick);
    };
    run.raf = requestAnimationFrame(tick);
  }

  // Reads and schedules sound while it is less than `ahead` before the clock.
  async pump(run) {
    const context = this.context, source = run.source;
    while (this.run === run) {
      const scheduledEnd = run.clockStart + run.scheduled / source.rate;
      if (scheduledEnd - context.currentTime > ahead || run.paused) {
        await new Promise((r) => setTimeout(r, 50));
        continue;
      }
      const { value, done } = await run.chunks.next();
      if (this.run !== run) return;
      if (done) { run.ended = true; return; }
      const frames = value.length / source.channels;
      const buffer = context.createBuffer(source.channels, frames, source.rate);
      for (let c = 0; c < source.channels; c++) buffer.copyToChannel(value.subarray(c * frames, (c + 1) * frames), c);
      const node = context.createBufferSource();
      node.buffer = buffer;
      node.connect(this.gain);
      node.start(Math.max(scheduledEnd, context.currentTime));
      node.onended = () => run.nodes.delete(node);
      run.nodes.add(node);
      run.scheduled += frames;
      run.cutter.push(value);
    }
  }

  drawDue(run) {
    const source = run.source;
    const heard = Math.round((this.heardTime() - run.start) * source.rate);
    let drawn = 0;
    for (;;) {
      const cutter = run.cutter;
      if (cutter.frameStart(cutter.frame) > heard || drawn >= catchUp) break;
      if (!cutter.next(run.ended)) break;
      cutter.draw(this.view.canvas);
      drawn++;
    }
    if (drawn > 0) this.view.draw();
    this.position = this.heardTime();
    if (run.ended && run.cutter.available() === 0 && run.nodes.size === 0) {
      run.done = true;
      this.stop();
      this.position = 0;
    }
    this.onState();
  }

  async pause() {
    if (!this.run || this.run.paused) return;
    this.run.paused = true;
    await this.context.suspend();
    this.onState();
  }

  async seek(seconds) {
    const wasPlaying = this.playing;
    this.stop();
    this.position = Math.min(Math.max(0, seconds), this.source?.duration ?? 0);
    if (wasPlaying) await this.play(this.position);
    this.onState();
  }

  // A seek key: `seconds` on from what is heard now (back where negative).
  async seekBy(seconds) {
    if (!this.source) return;
    await this.seek(this.heardTime() + seconds);
  }

  // Restarts the run and the sound from the beginning (lumhost play's `r`).
  async restart() {
    if (!this.source) return;
    this.stop();
    await this.play(0);
  }

  stop() {
    const run = this.run;
    if (!run) return;
    this.position = this.heardTime();
    this.run = null;
    cancelAnimationFrame(run.raf);
    for (const node of run.nodes) { try { node.stop(); } catch { /* not started */ } }
    run.chunks.return?.();
    run.cutter.free();
    this.plugin.end();
    if (this.context?.state === 'suspended') this.context.resume();
    this.onState();
  }
}
