// Sound to blocks, one per video frame. Decoded sound arrives in pieces of
// any length; the queue holds what has not yet gone into a block, and the
// cutter takes exactly the sample frames of each video frame, as lumhost
// does (`frameStart` is lumhost's own rule, from the module): frame k covers
// sample frames frameStart(k) to frameStart(k + 1), so the remainder of a
// fractional count is carried and the blocks never drift from the sound.

// Interleaved float samples, first in, first out.
export class SampleQueue {
  constructor(channels) {
    this.channels = channels;
    this.pieces = [];   // Float32Array, interleaved
    this.offset = 0;    // sample frames already taken from pieces[0]
    this.frames = 0;    // sample frames held
  }

  push(interleaved) {
    const frames = Math.floor(interleaved.length / this.channels);
    if (frames === 0) return;
    this.pieces.push(interleaved.length === frames * this.channels ? interleaved : interleaved.subarray(0, frames * this.channels));
    this.frames += frames;
  }

  // Takes up to `count` sample frames into `into` (a Float32Array of at
  // least count x channels); returns how many.
  take(count, into) {
    const ch = this.channels;
    let done = 0;
    while (done < count && this.pieces.length > 0) {
      const piece = this.pieces[0];
      const left = piece.length / ch - this.offset;
      const n = Math.min(left, count - done);
      into.set(piece.subarray(this.offset * ch, (this.offset + n) * ch), done * ch);
      done += n;
      this.offset += n;
      if (this.offset * ch === piece.length) {
        this.pieces.shift();
        this.offset = 0;
      }
    }
    this.frames -= done;
    return done;
  }

  clear() {
    this.pieces = [];
    this.offset = 0;
    this.frames = 0;
  }
}

// Cuts the queue's sound into the blocks of successive video frames.
// `frameStart(k)` gives the first sample frame of video frame k.
export class BlockCutter {
  constructor(channels, frameStart) {
    this.channels = channels;
    this.frameStart = frameStart;
    this.queue = new SampleQueue(channels);
    this.frame = 0;
    this.buffer = new Float32Array(0);
  }

  push(interleaved) { this.queue.push(interleaved); }

  // Sample frames the next block needs.
  wanted() { return this.frameStart(this.frame + 1) - this.frameStart(this.frame); }

  ready() { return this.queue.frames >= this.wanted(); }

  // The next whole block: {frame, samples, count}, or null if its sound is
  // not all in yet. At the end of the sound, `last` lets a short block out
  // (null if nothing is left).
  next(last = false) {
    const wanted = this.wanted();
    if (this.queue.frames < wanted && (!last || this.queue.frames === 0)) return null;
    const count = Math.min(wanted, this.queue.frames);
    if (this.buffer.length < wanted * this.channels) this.buffer = new Float32Array(wanted * this.channels);
    this.queue.take(count, this.buffer);
    return { frame: this.frame++, samples: this.buffer, count };
  }
}
