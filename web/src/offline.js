// Offline frames: a whole sound through a plug-in run at a fixed size and
// frame rate, as fast as it goes, exactly as `lumhost render` cuts and draws
// it. Yields after each frame drawn: {frame, count, sound()} (sound() the
// block's mixed sound, see BlockCutter); the canvas then holds the frame.
import { BlockCutter } from './blocks.js';

export async function* renderFrames(plugin, canvas, source, fps) {
  const cutter = new BlockCutter(plugin, { rate: source.rate, channels: source.channels, fps });
  const drawn = (block) => {
    cutter.draw(canvas);
    return { ...block, sound: () => cutter.sound() };
  };
  plugin.start();
  try {
    for await (const piece of source.chunks(0)) {
      cutter.push(piece);
      let block;
      while ((block = cutter.next())) yield drawn(block);
    }
    const last = cutter.next(true);
    if (last) yield drawn(last);
  } finally {
    plugin.end();
    cutter.free();
  }
}

// The plug-in's settings carried to another instance of the module.
export function copySettings(from, to) {
  for (const p of from) to.setParam(p.id, p.value);
}
