// Sound to blocks, one per video frame, by the shared block cutter in the
// module (lumhost's and the element's own): sound pushed in pieces of any
// length as AudioData gives it, one plane of floats per channel, any channel
// count (wider than stereo mixed down by the shared matrix); a block is cut
// once all its sound is in. This file only carries the sound across and
// keeps the handle.
export class BlockCutter {
  // `plugin`: the module instance the blocks are drawn by.
  constructor(plugin, { rate, channels, fps }) {
    this.plugin = plugin;
    this.m = plugin.m;
    this.channels = channels;
    this.handle = this.m._webCutterNew(rate, channels, fps, 1);
    this.scratch = 0;
    this.capacity = 0;
    this.length = 0;
  }

  // A piece of sound: `channels` planes of equal length, one after another.
  push(planar) {
    const frames = Math.floor(planar.length / this.channels);
    if (frames === 0) return;
    const bytes = frames * this.channels * 4;
    if (bytes > this.capacity) {
      if (this.scratch) this.m._free(this.scratch);
      this.capacity = Math.max(bytes, 65536);
      this.scratch = this.plugin.alloc(this.capacity);
    }
    this.m.HEAPF32.set(planar.subarray(0, frames * this.channels), this.scratch >> 2);
    this.m._webCutterPush(this.handle, this.scratch, frames);
  }

  // Sample frames the next block takes, and how many are held.
  wanted() { return this.m._webCutterWanted(this.handle); }
  available() { return this.m._webCutterAvailable(this.handle); }

  // The frame the next block belongs to, and the first sample frame of frame k.
  get frame() { return this.m._webCutterFrame(this.handle); }
  frameStart(k) { return this.m._webCutterFrameStart(this.handle, k); }

  // Cuts the next block: {frame, count} (its sample frames), or null if its
  // sound is not all in yet. At the end of the sound, `atEnd` lets a short
  // block out (null if nothing is left).
  next(atEnd = false) {
    const frame = this.frame;
    this.length = this.m._webCutterCut(this.handle, atEnd ? 1 : 0);
    if (this.length === 0) return null;
    return { frame, count: this.m._webCutterLastCount(this.handle) };
  }

  // Draws the block cut last onto `canvas`.
  draw(canvas) {
    return this.plugin.display(canvas, this.m._webCutterBlock(this.handle), this.length);
  }

  // The bytes of the block cut last (a copy).
  block() {
    const at = this.m._webCutterBlock(this.handle);
    return this.m.HEAP8.slice(at, at + this.length);
  }

  // The block's sound as it was cut, mixed: {samples (interleaved, a copy), channels, count}.
  sound() {
    const count = this.m._webCutterLastCount(this.handle), channels = this.m._webCutterBlockChannels(this.handle);
    const at = this.m._webCutterLastSamples(this.handle) >> 2;
    return { samples: this.m.HEAPF32.slice(at, at + count * channels), channels, count };
  }

  // The same sound from frame 0 again, nothing held.
  restart() { this.m._webCutterRestart(this.handle); }

  free() {
    if (!this.handle) return;
    this.m._webCutterFree(this.handle);
    if (this.scratch) this.m._free(this.scratch);
    this.handle = 0;
    this.scratch = 0;
  }
}
