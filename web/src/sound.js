// Where the sound comes from. A source says its rate, channels and length
// and yields its decoded sound in pieces from a moment on, each piece one
// plane of floats per channel laid end to end (as AudioData gives them and
// the block cutter takes them), every channel the source has:
//   { name, rate, channels, frames, duration, chunks(startSeconds) }
// A file is read and decoded in pieces by mediabunny (WebCodecs'
// AudioDecoder, at the file's own rate), so an hour of sound never lies in
// memory whole; a short file in a format mediabunny cannot read is decoded
// whole by the browser as a fallback. The demo is lumhost's, from the module.
import { Input, BlobSource, ALL_FORMATS, AudioSampleSink } from 'mediabunny';

export class SoundError extends Error {}

// Files the browser decodes whole only up to this size.
const wholeDecodeLimit = 64 * 1024 * 1024;

export async function openSoundFile(file) {
  let input;
  try {
    input = new Input({ source: new BlobSource(file), formats: ALL_FORMATS });
    const track = await input.getPrimaryAudioTrack();
    if (!track) throw new SoundError(`"${file.name}" has no sound in it.`);
    if (await track.canDecode()) return await piecewiseSource(file.name, input, track);
  } catch (e) {
    if (e instanceof SoundError) throw e;
    // Not a container mediabunny reads: let the browser try it whole.
  }
  return wholeSource(file);
}

async function piecewiseSource(name, input, track) {
  const rate = track.sampleRate, channels = track.numberOfChannels;
  const duration = await track.computeDuration();
  if (!(duration > 0)) throw new SoundError(`"${name}" has no sound in it.`);
  return {
    name, rate, channels, duration,
    frames: Math.round(duration * rate),
    piecewise: true,
    async *chunks(start = 0) {
      const sink = new AudioSampleSink(track);
      let position = Math.round(start * rate);   // first sample frame still wanted
      for await (const sample of sink.samples(start)) {
        try {
          const first = Math.round(sample.timestamp * rate);
          const count = sample.numberOfFrames;
          const skip = Math.max(0, Math.min(count, position - first));
          if (skip === count) continue;
          const frames = count - skip;
          const data = new Float32Array(frames * channels);
          for (let c = 0; c < channels; c++)
            sample.copyTo(data.subarray(c * frames, (c + 1) * frames), { planeIndex: c, format: 'f32-planar', frameOffset: skip, frameCount: frames });
          position = first + count;
          yield data;
        } finally {
          sample.close();
        }
      }
    },
  };
}

async function wholeSource(file) {
  if (file.size > wholeDecodeLimit)
    throw new SoundError(`"${file.name}" cannot be decoded in pieces, and is too large to decode whole.`);
  let buffer;
  try {
    const context = new OfflineAudioContext(1, 1, 48000);
    buffer = await context.decodeAudioData(await file.arrayBuffer());
  } catch {
    throw new SoundError(`"${file.name}" is not a sound this browser can decode.`);
  }
  if (buffer.length === 0) throw new SoundError(`"${file.name}" has no sound in it.`);
  const channels = buffer.numberOfChannels, rate = buffer.sampleRate;
  const planes = Array.from({ length: channels }, (_, c) => buffer.getChannelData(c));
  return {
    name: file.name, rate, channels, frames: buffer.length, duration: buffer.length / rate, piecewise: false,
    async *chunks(start = 0) {
      const piece = 8192;
      for (let at = Math.round(start * rate); at < buffer.length; at += piece) {
        const n = Math.min(piece, buffer.length - at);
        const data = new Float32Array(n * channels);
        for (let c = 0; c < channels; c++) data.set(planes[c].subarray(at, at + n), c * n);
        yield data;
      }
    },
  };
}

// lumhost's demo signal, made by the module's own code in pieces.
export function demoSource(plugin) {
  const rate = plugin.demoRate(), frames = plugin.demoFrames();
  return {
    name: 'demo', rate, channels: 2, frames, duration: frames / rate, piecewise: true,
    async *chunks(start = 0) {
      const demo = plugin.openDemo();
      try {
        const piece = 4800;
        let skip = Math.round(start * rate);
        for (;;) {
          const data = plugin.readDemo(demo, skip > 0 ? Math.min(skip, piece) : piece);   // left, then right
          if (data.length === 0) return;
          if (skip > 0) { skip -= data.length / 2; continue; }
          yield data;
        }
      } finally {
        plugin.closeDemo(demo);
      }
    },
  };
}
