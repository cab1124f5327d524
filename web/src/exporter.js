// Save video: the loaded sound rendered offline by a plug-in instance of its
// own (the one on screen goes on undisturbed), the frames and the sound
// encoded with WebCodecs and muxed by mediabunny, faster than real time.
import {
  Output, BufferTarget, StreamTarget, Mp4OutputFormat, WebMOutputFormat, VideoSampleSource, AudioSampleSource,
  VideoSample, AudioSample, canEncodeVideo, canEncodeAudio, QUALITY_HIGH,
} from 'mediabunny';
import { renderFrames, copySettings } from './offline.js';
import { loadPlugin } from './plugin.js';

export const formats = {
  mp4: { label: 'MP4 (H.264 + Opus)', video: 'avc', audio: 'opus', extension: 'mp4', type: 'video/mp4', make: () => new Mp4OutputFormat() },
  webm: { label: 'WebM (VP9 + Opus)', video: 'vp9', audio: 'opus', extension: 'webm', type: 'video/webm', make: () => new WebMOutputFormat() },
};

export class ExportError extends Error {}

// Where the video is written while it is made: a file in the origin's
// private storage where the browser has one, so a long video never sits in
// memory whole (the download then reads it from disk); memory otherwise.
async function openTarget(extension) {
  try {
    const folder = await navigator.storage.getDirectory();
    for await (const name of folder.keys()) if (name.startsWith('export-')) await folder.removeEntry(name).catch(() => {});
    const name = `export-${Date.now()}.${extension}`;
    const handle = await folder.getFileHandle(name, { create: true });
    const writable = await handle.createWritable();
    return {
      target: new StreamTarget(writable, { chunked: true, chunkSize: 4 * 1024 * 1024 }),
      result: async () => handle.getFile(),
      discard: async () => { await writable.abort().catch(() => {}); await folder.removeEntry(name).catch(() => {}); },
    };
  } catch {
    const target = new BufferTarget();
    return { target, result: async (type) => new Blob([target.buffer], { type }), discard: async () => {} };
  }
}
export class ExportCancelled extends Error {}

// Why a format cannot be saved here, or null if it can.
export async function exportBlocker(formatKey, width, height) {
  if (typeof VideoEncoder === 'undefined' || typeof AudioEncoder === 'undefined')
    return 'This browser has no WebCodecs encoders, so it cannot save videos.';
  const f = formats[formatKey];
  if (!(await canEncodeVideo(f.video, width && height ? { width, height } : undefined)))
    return width ? `This browser cannot encode ${f.label} video at ${width}x${height}.` : `This browser cannot encode ${f.label} video.`;
  if (!(await canEncodeAudio(f.audio))) return `This browser cannot encode ${f.label} sound.`;
  return null;
}

// Renders `source` with `settings` ([{id, value}]) to a video Blob.
export async function exportVideo({ source, settings, width, height, fps, format = 'mp4', signal, onProgress = () => {} }) {
  const f = formats[format];
  const blocker = await exportBlocker(format, width, height);
  if (blocker) throw new ExportError(blocker);
  const plugin = await loadPlugin();
  copySettings(settings, plugin);
  const canvas = plugin.makeCanvas(width, height);
  const place = await openTarget(f.extension);
  const output = new Output({ format: f.make(), target: place.target });
  const video = new VideoSampleSource({ codec: f.video, bitrate: QUALITY_HIGH, keyFrameInterval: 2, sizeChangeBehavior: 'deny' });
  const audio = new AudioSampleSource({ codec: f.audio, bitrate: 160000 });
  output.addVideoTrack(video, { frameRate: fps });
  output.addAudioTrack(audio);
  const total = plugin.framesFor(source.frames, source.rate, fps);
  try {
    await output.start();
    let at = 0;   // sample frames of sound written
    for await (const block of renderFrames(plugin, canvas, source, fps)) {
      if (signal?.aborted) throw new ExportCancelled('The export was cancelled.');
      // The VideoFrame takes its own copy of the canvas straight from the
      // module's memory; mediabunny wraps it as it is.
      const frame = new VideoSample(new VideoFrame(plugin.canvasBytes(canvas), {
        format: 'BGRX', codedWidth: width, codedHeight: height,
        timestamp: Math.round((block.frame * 1e6) / fps), duration: Math.round(1e6 / fps),
      }));
      // The block's sound as the figure took it: mono, or stereo mixed down
      // from wider sound by the shared matrix.
      const mixed = block.sound();
      const sound = new AudioSample({
        data: mixed.samples, format: 'f32',
        numberOfChannels: mixed.channels, sampleRate: source.rate, timestamp: at / source.rate,
      });
      at += block.count;
      try {
        await Promise.all([video.add(frame), audio.add(sound)]);
      } finally {
        frame.close();
        sound.close();
      }
      onProgress(block.frame + 1, total);
    }
    if (signal?.aborted) throw new ExportCancelled('The export was cancelled.');
    await output.finalize();
  } catch (e) {
    await output.cancel().catch(() => {});
    await place.discard();
    if (e instanceof ExportCancelled) throw e;
    if (e instanceof ExportError) throw e;
    throw new ExportError(`The video could not be made: ${e.message || e}`);
  } finally {
    plugin.freeCanvas(canvas);
  }
  const file = await place.result(f.type);
  return file;
}
