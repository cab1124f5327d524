// What the page's tests read and call, as window.gyrotrailPage: the panel's
// settings, the player's state, the figure's pixels, the key help as shown,
// the last video and preset file made, and the hashes of the frames the
// loaded sound gives offline.
import { loadPlugin } from './plugin.js';
import { renderFrames, copySettings } from './offline.js';

// `page`: the page's parts as main.js makes them ({panel, player, view, live()}).
export function pageHooks(page) {
  return {
    ready: false,
    lastExport: null,
    params: () => page.panel.params.map(({ id, name, key, type, value, min, max }) => ({ id, name, key, type, value, min, max })),
    playing: () => page.player.playing,
    position: () => page.player.heardTime(),
    volume: () => ({ volume: page.player.volume, muted: page.player.muted }),
    liveBlocks: () => page.live()?.blocks ?? 0,
    litPixels: (value = null) => page.view.litPixels(value),
    // The key help's lines as the page shows them, and whether it is shown.
    keyHelp: () => ({ shown: page.view.helpShown, lines: page.view.help.querySelector('pre').textContent.split('\n') }),
    lastDownload: () => page.panel.lastDownload,
    // SHA-256 of each frame the loaded sound gives at a size and rate, with
    // the panel's settings, read from the module's memory (no <canvas>).
    async frameHashes(width, height, fps) {
      const other = await loadPlugin();
      copySettings(page.panel.params, other);
      const canvas = other.makeCanvas(width, height);
      const hashes = [];
      const copy = new Uint8Array(canvas.bytes);
      for await (const block of renderFrames(other, canvas, page.player.source, fps)) {
        void block;
        copy.set(other.canvasBytes(canvas));
        const digest = await crypto.subtle.digest('SHA-256', copy);
        hashes.push([...new Uint8Array(digest)].map((b) => b.toString(16).padStart(2, '0')).join(''));
      }
      other.freeCanvas(canvas);
      return hashes;
    },
  };
}
