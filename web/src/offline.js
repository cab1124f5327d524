// Offline frames: a whole sound through a plug-in run at a fixed size and
// frame rate, as fast as it goes, exactly as `lumhost render` cuts and draws
// it. Yields after each frame drawn: {frame, samples, count} (the block's
// sound, interleaved); the canvas then holds the frame.
import { BlockCutter } from './blocks.js';

export async function* renderFrames(plugin, canvas, source, fps) {
  const cutter = new BlockCutter(source.channels, (k) => plugin.frameStart(k, source.rate, fps));
  plugin.start();
  try {
    for await (const piece of source.chunks(0)) {
      cutter.push(piece);
      let block;
      while ((block = cutter.next())) {
        plugin.display(canvas, block.samples, block.count, source.channels);
        yield block;
      }
    }
    const last = cutter.next(true);
    if (last) {
      plugin.display(canvas, last.samples, last.count, source.channels);
      yield last;
    }
  } finally {
    plugin.end();
  }
}

// The plug-in's settings carried to another instance of the module.
export function copySettings(from, to) {
  for (const p of from) to.setParam(p.id, p.value);
}
