// The page: sound in (file, drop, microphone, tab or screen, demo), the
// figure on screen, the settings panel, Save video.
import { loadPlugin } from './plugin.js';
import { openSoundFile, demoSource, SoundError } from './sound.js';
import { Player } from './player.js';
import { LiveInput, LiveError, openMicrophone, openScreenSound } from './live.js';
import { exportVideo, exportBlocker, formats, ExportCancelled } from './exporter.js';
import { renderFrames, copySettings } from './offline.js';
import { formatTime, parseSize, timeLeft, videoName } from './format.js';
import {
  settingKey, settingsFromQuery, queryWithSettings, colorToHex, hexToColor, keyAction, keyValue,
} from './settings.js';

const $ = (id) => document.getElementById(id);
const storeKey = 'gyrotrail.settings';
const playFps = 60;

let plugin, params, player, live = null, exporting = null;

// ---- messages -------------------------------------------------------------

function showError(error) {
  const box = $('message');
  box.textContent = typeof error === 'string' ? error : (error?.message || String(error));
  box.hidden = false;
}

function clearError() {
  $('message').hidden = true;
  $('message').textContent = '';
}

// ---- the picture on screen -------------------------------------------------

const view = {
  canvas: null, rgba: 0, rgbaBytes: 0, pending: false,
  element: null, context: null,
  // Fits the plug-in's canvas to the stage; the figure's centre moves with it.
  fit() {
    const stage = $('stage');
    const width = Math.max(16, Math.floor(stage.clientWidth)), height = Math.max(16, Math.floor(stage.clientHeight));
    if (this.canvas && this.canvas.width === width && this.canvas.height === height) return;
    const old = this.canvas;
    this.canvas = plugin.makeCanvas(width, height);
    plugin.freeCanvas(old);
    if (this.rgba) plugin.m._free(this.rgba);
    this.rgbaBytes = width * height * 4;
    this.rgba = plugin.alloc(this.rgbaBytes);
    this.element.width = width;
    this.element.height = height;
    this.draw();
  },
  draw() {
    const c = this.canvas;
    plugin.m._webCanvasToRgba(c.pixels, this.rgba, c.width * c.height);
    const data = new Uint8ClampedArray(plugin.m.HEAPU8.buffer, this.rgba, this.rgbaBytes);
    this.context.putImageData(new ImageData(data, c.width, c.height), 0, 0);
  },
  request() {
    if (this.pending) return;
    this.pending = true;
    requestAnimationFrame(() => { this.pending = false; this.draw(); });
  },
  clear() { plugin.clearCanvas(this.canvas); this.draw(); },
};

// ---- settings ----------------------------------------------------------------

function saveSettings() {
  const query = queryWithSettings(location.search, params);
  history.replaceState(null, '', location.pathname + query + location.hash);
  try {
    localStorage.setItem(storeKey, queryWithSettings('', params));
  } catch { /* storage may be off */ }
}

function applySetting(param, value) {
  const applied = plugin.setParam(param.id, value);
  if (applied === null) return;
  param.value = applied;
  const input = document.getElementById(`param-${param.id}`);
  if (input) showValue(param, input);
  saveSettings();
}

function showValue(param, input) {
  if (param.type === 'toggle') input.checked = param.value !== 0;
  else if (param.type === 'color') input.value = colorToHex(param.value);
  else input.value = String(param.value);
}

function buildPanel() {
  const form = $('settings');
  form.replaceChildren();
  for (const p of params) {
    const label = document.createElement('label');
    label.htmlFor = `param-${p.id}`;
    label.textContent = p.name;
    label.title = p.description;
    const input = document.createElement('input');
    input.id = `param-${p.id}`;
    input.name = settingKey(p.name);
    if (p.type === 'toggle') input.type = 'checkbox';
    else if (p.type === 'color') input.type = 'color';
    else {
      input.type = 'number';
      input.step = '1';
      if (p.min !== null && p.min > -2147483648) input.min = String(p.min);
      if (p.max !== null && p.max < 2147483647) input.max = String(p.max);
    }
    showValue(p, input);
    input.addEventListener('change', () => {
      let value;
      if (p.type === 'toggle') value = input.checked ? 1 : 0;
      else if (p.type === 'color') value = hexToColor(input.value);
      else value = Number.parseInt(input.value, 10);
      if (value === null || Number.isNaN(value)) { showValue(p, input); return; }
      applySetting(p, value);
    });
    form.append(label, input);
  }
}

// The address's settings win; without any, those of the last visit.
function restoreSettings() {
  let wanted = settingsFromQuery(location.search, params);
  if (wanted.length === 0) {
    try {
      wanted = settingsFromQuery(localStorage.getItem(storeKey) || '', params);
    } catch { wanted = []; }
  }
  for (const { id, value } of wanted) {
    const p = params.find((q) => q.id === id);
    const applied = plugin.setParam(id, value);
    if (p && applied !== null) p.value = applied;
  }
}

// ---- sound in --------------------------------------------------------------

function stopLive() {
  if (live) { live.stop(); live = null; }
}

async function useSource(source) {
  stopLive();
  await player.load(source);
  $('now').textContent = `${source.name}: ${formatTime(source.duration)}, ${source.rate} Hz, ${source.channels === 1 ? 'mono' : 'stereo'}`;
  $('position').max = String(source.duration);
  view.clear();
  updateControls();
  await player.play(0);
}

async function openFile(file) {
  if (!file) return;
  clearError();
  try {
    const source = await openSoundFile(file);
    await useSource(source);
  } catch (e) {
    showError(e instanceof SoundError ? e.message : `"${file.name}" could not be opened: ${e.message || e}`);
  }
}

async function startLive(open, name) {
  clearError();
  let stream;
  try {
    stream = await open();
  } catch (e) {
    showError(e instanceof LiveError ? e.message : String(e.message || e));
    return;
  }
  player.stop();
  stopLive();
  live = new LiveInput(plugin, view, { fps: playFps, onEnded: () => { live = null; updateControls(); } });
  try {
    await live.start(stream, name);
  } catch (e) {
    live = null;
    showError(`${name} could not be started: ${e.message || e}`);
    return;
  }
  view.clear();
  $('now').textContent = `${name}, live`;
  updateControls();
}

// ---- controls ------------------------------------------------------------------

function updateControls() {
  const play = $('play');
  const hasSound = !!player.source && !live;
  play.disabled = !hasSound;
  const label = player.playing ? 'Pause' : 'Play';
  play.textContent = label;
  play.setAttribute('aria-label', label);
  const position = $('position');
  position.disabled = !hasSound;
  if (!position.matches(':active')) position.value = String(player.position ?? 0);
  $('time').textContent = hasSound ? `${formatTime(player.position ?? 0)} / ${formatTime(player.source.duration)}` : (live ? 'live' : '0:00 / 0:00');
  refreshSave();
}

let blockerAsked = '';
async function refreshSave() {
  const save = $('save');
  if (exporting) { save.disabled = true; return; }
  const size = parseSize($('size').value), format = $('format').value;
  const ask = `${format} ${size?.width}x${size?.height}`;
  if (!player.source) { save.disabled = true; return; }
  if (!size) { save.disabled = true; $('save-reason').textContent = 'Give the size as WIDTHxHEIGHT, for example 1280x720.'; blockerAsked = ''; return; }
  if (ask === blockerAsked) { return; }
  blockerAsked = ask;
  const why = await exportBlocker(format, size.width, size.height);
  if (ask !== blockerAsked) return;
  save.disabled = !!why;
  save.title = why ?? '';
  $('save-reason').textContent = why ?? '';
}

async function saveVideo() {
  const size = parseSize($('size').value);
  if (!size || !player.source) return;
  clearError();
  const fps = Number($('fps').value), format = $('format').value;
  const controller = new AbortController();
  exporting = controller;
  const progress = $('progress'), status = $('export-status');
  progress.hidden = false; progress.value = 0;
  $('cancel').hidden = false; $('save').disabled = true;
  const began = performance.now();
  try {
    const blob = await exportVideo({
      source: player.source, settings: params, width: size.width, height: size.height, fps, format,
      signal: controller.signal,
      onProgress(done, total) {
        progress.value = total ? done / total : 0;
        const left = timeLeft(done, total, (performance.now() - began) / 1000);
        status.textContent = `Frame ${done} of ${total}` + (left !== null ? `, about ${formatTime(Math.ceil(left))} left` : '');
      },
    });
    const seconds = (performance.now() - began) / 1000;
    status.textContent = `Saved in ${seconds.toFixed(1)} s.`;
    window.gyrotrailPage.lastExport = { blob, seconds, format };
    const link = document.createElement('a');
    link.href = URL.createObjectURL(blob);
    link.download = videoName(player.source.name, formats[format].extension);
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(link.href), 60000);
  } catch (e) {
    if (e instanceof ExportCancelled) { showError('The export was cancelled; no video was saved.'); status.textContent = ''; }
    else showError(e.message || String(e));
  } finally {
    exporting = null;
    progress.hidden = true;
    $('cancel').hidden = true;
    blockerAsked = '';
    refreshSave();
  }
}

function onKey(event) {
  if (event.target instanceof HTMLInputElement || event.target instanceof HTMLSelectElement || event.ctrlKey || event.metaKey || event.altKey) return;
  const action = keyAction(event.key);
  if (!action) return;
  event.preventDefault();
  if (action.restart) { if (player.source && !live) player.restart(); return; }
  const p = params.find((q) => q.id === action.id);
  if (p) applySetting(p, keyValue(p.type, p.value, action.step));
}

// ---- start -------------------------------------------------------------------

async function main() {
  plugin = await loadPlugin();
  params = plugin.listParams();
  restoreSettings();
  buildPanel();
  saveSettings();
  $('about').textContent = `${plugin.info.longName} ${plugin.info.version} by ${plugin.info.vendor}. ${plugin.info.copyright}`;
  view.element = $('screen-canvas');
  view.context = view.element.getContext('2d', { alpha: false });
  view.fit();
  new ResizeObserver(() => view.fit()).observe($('stage'));
  player = new Player(plugin, view, { fps: playFps, onState: updateControls, onError: (e) => showError(e.message || String(e)) });

  $('file').addEventListener('change', (e) => { openFile(e.target.files[0]); e.target.value = ''; });
  $('demo').addEventListener('click', () => { clearError(); useSource(demoSource(plugin)); });
  $('microphone').addEventListener('click', () => startLive(openMicrophone, 'Microphone'));
  $('screen').addEventListener('click', () => startLive(openScreenSound, 'Tab or screen sound'));
  $('play').addEventListener('click', () => (player.playing ? player.pause() : player.play()));
  $('position').addEventListener('change', (e) => player.seek(Number(e.target.value)));
  $('fullscreen').addEventListener('click', () => {
    if (document.fullscreenElement) document.exitFullscreen();
    else $('stage').requestFullscreen().catch((e) => showError(`Fullscreen was refused: ${e.message}`));
  });
  $('save').addEventListener('click', saveVideo);
  $('cancel').addEventListener('click', () => exporting?.abort());
  for (const id of ['size', 'format']) $(id).addEventListener('input', () => refreshSave());
  document.addEventListener('keydown', onKey);
  document.addEventListener('dragover', (e) => { e.preventDefault(); document.body.classList.add('dragging'); });
  document.addEventListener('dragleave', () => document.body.classList.remove('dragging'));
  document.addEventListener('drop', (e) => {
    e.preventDefault();
    document.body.classList.remove('dragging');
    openFile(e.dataTransfer?.files?.[0]);
  });
  updateControls();
  if ('serviceWorker' in navigator) navigator.serviceWorker.register('./sw.js').catch(() => { /* online only */ });
  window.gyrotrailPage.ready = true;
}

// What the page's tests read and call.
window.gyrotrailPage = {
  ready: false,
  params: () => params.map(({ id, name, type, value, min, max }) => ({ id, name, type, value, min, max })),
  playing: () => player.playing,
  liveBlocks: () => live?.blocks ?? 0,
  // Pixels of the figure on screen that are lit, or of one 0x00RRGGBB value.
  litPixels(value = null) {
    const bytes = plugin.canvasBytes(view.canvas);
    let lit = 0;
    for (let i = 0; i < bytes.length; i += 4) {
      const pixel = bytes[i] | (bytes[i + 1] << 8) | (bytes[i + 2] << 16);
      if (value === null ? pixel !== 0 : pixel === value) lit++;
    }
    return lit;
  },
  // SHA-256 of each frame the loaded sound gives at a size and rate, with
  // the panel's settings, read from the module's memory (no <canvas>).
  async frameHashes(width, height, fps) {
    const other = await loadPlugin();
    copySettings(params, other);
    const canvas = other.makeCanvas(width, height);
    const hashes = [];
    const copy = new Uint8Array(canvas.bytes);
    for await (const block of renderFrames(other, canvas, player.source, fps)) {
      void block;
      copy.set(other.canvasBytes(canvas));
      const digest = await crypto.subtle.digest('SHA-256', copy);
      hashes.push([...new Uint8Array(digest)].map((b) => b.toString(16).padStart(2, '0')).join(''));
    }
    return hashes;
  },
};

main().catch((e) => showError(`The page could not start: ${e.message || e}`));
