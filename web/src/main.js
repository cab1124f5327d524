// The page's start-up and wiring: sound in (file, drop, microphone, tab or
// screen, demo), the player, Save video and the keys, joined to the view
// (view.js), the panel of settings and presets (panel.js) and the tests'
// hooks (hooks.js).
import { loadPlugin } from './plugin.js';
import { openSoundFile, demoSource, SoundError } from './sound.js';
import { Player } from './player.js';
import { LiveInput, LiveError, openMicrophone, openScreenSound } from './live.js';
import { exportVideo, exportBlocker, formats, ExportCancelled } from './exporter.js';
import { formatTime, parseSize, timeLeft, videoName } from './format.js';
import { View } from './view.js';
import { Panel } from './panel.js';
import { PresetStore } from './presets.js';
import { keyListener } from './keys.js';
import { pageHooks } from './hooks.js';
import installedPresets from 'installed-presets';

const $ = (id) => document.getElementById(id);

let plugin, panel, view, player, live = null, exporting = null, playFps;

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

// What a key or a preset did, as lumhost play says it over its picture.
function tell(line) {
  $('status').textContent = line;
}

function storage() {
  try {
    return window.localStorage;
  } catch {
    return null;   // storage turned off
  }
}

// ---- sound in --------------------------------------------------------------

function stopLive() {
  if (live) { live.stop(); live = null; }
}

async function useSource(source) {
  stopLive();
  await player.load(source);
  $('now').textContent = `${source.name}: ${formatTime(source.duration)}, ${source.rate} Hz, ${source.channels === 1 ? 'mono' : source.channels === 2 ? 'stereo' : `${source.channels} channels`}`;
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
      source: player.source, settings: panel.params, width: size.width, height: size.height, fps, format,
      signal: controller.signal,
      onProgress(done, total) {
        progress.value = total ? done / total : 0;
        const left = timeLeft(done, total, (performance.now() - began) / 1000);
        status.textContent = `Frame ${done} of ${total}` + (left !== null ? `, about ${formatTime(Math.ceil(left))} left` : '');
      },
    });
    const seconds = (performance.now() - began) / 1000;
    status.textContent = `Saved in ${seconds.toFixed(1)} s.`;
    hooks.lastExport = { blob, seconds, format };
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

function toggleFullscreen() {
  if (document.fullscreenElement) document.exitFullscreen();
  else $('stage').requestFullscreen().catch((e) => showError(`Fullscreen was refused: ${e.message}`));
}

function toggleHelp(shown) {
  shown = view.toggleHelp(shown);
  $('keys').setAttribute('aria-expanded', String(shown));
}

// The player's keys, as lumhost play does them where the page can.
function keyActions() {
  const playingFile = () => !!player.source && !live;
  const tellVolume = () => tell(player.muted ? 'muted' : `volume ${player.volume}%`);
  return {
    pause: () => { if (playingFile()) (player.playing ? player.pause() : player.play()); },
    seek: (binding) => { if (playingFile()) player.seekBy(binding.step); },
    restart: () => { if (playingFile()) { view.clear(); player.restart(); } },
    fullscreen: toggleFullscreen,
    help: () => toggleHelp(),
    step: (binding) => panel.step(binding),
    nextPreset: () => panel.next(),
    savePreset: () => panel.save(),
    randomise: () => panel.randomise(),
    mute: () => { player.setVolume(player.volume, !player.muted); tellVolume(); },
    volume: (binding) => { player.setVolume(player.volume + binding.step, false); tellVolume(); },
    // Esc leaves fullscreen; the page has nothing to quit.
    quit: (binding) => (binding.key === 'Escape' && document.fullscreenElement ? void document.exitFullscreen() : false),
  };
}

// ---- start -------------------------------------------------------------------

const page = { get panel() { return panel; }, get player() { return player; }, get view() { return view; }, live: () => live };
const hooks = pageHooks(page);
window.gyrotrailPage = hooks;

async function main() {
  plugin = await loadPlugin();
  // The figure plays, and videos are saved, at the shared defaults unless chosen otherwise.
  const { width, height, fps } = plugin.defaults;
  playFps = fps;
  $('size').value = `${width}x${height}`;
  $('fps').value = String(fps);
  panel = new Panel(plugin, new PresetStore(installedPresets, storage()),
    { form: $('settings'), presetSelect: $('preset'), presetName: $('preset-name') },
    { tell, showError, clearError, storage: storage() });
  panel.restore(location.search);
  panel.build();
  panel.remember();
  $('about').textContent = `${plugin.info.longName} ${plugin.info.version} by ${plugin.info.vendor}. ${plugin.info.copyright}`;
  view = new View(plugin, { stage: $('stage'), element: $('screen-canvas'), help: $('key-help') });
  view.setHelp('Keys (as in lumhost play)', plugin.pageKeyHelp());
  view.fit();
  new ResizeObserver(() => view.fit()).observe($('stage'));
  player = new Player(plugin, view, { fps: playFps, onState: updateControls, onError: (e) => showError(e.message || String(e)) });

  $('file').addEventListener('change', (e) => { openFile(e.target.files[0]); e.target.value = ''; });
  $('demo').addEventListener('click', () => { clearError(); useSource(demoSource(plugin)); });
  $('microphone').addEventListener('click', () => startLive(openMicrophone, 'Microphone'));
  $('screen').addEventListener('click', () => startLive(openScreenSound, 'Tab or screen sound'));
  $('play').addEventListener('click', () => (player.playing ? player.pause() : player.play()));
  $('position').addEventListener('change', (e) => player.seek(Number(e.target.value)));
  $('fullscreen').addEventListener('click', toggleFullscreen);
  $('stage').addEventListener('dblclick', toggleFullscreen);
  $('keys').addEventListener('click', () => toggleHelp());
  $('save').addEventListener('click', saveVideo);
  $('cancel').addEventListener('click', () => exporting?.abort());
  for (const id of ['size', 'format']) $(id).addEventListener('input', () => refreshSave());
  $('preset').addEventListener('change', (e) => { if (e.target.value) panel.choose(e.target.value); });
  $('next-preset').addEventListener('click', () => panel.next());
  $('random').addEventListener('click', () => panel.randomise());
  $('save-preset').addEventListener('click', () => panel.save($('preset-name').value));
  $('download-preset').addEventListener('click', () => panel.download());
  $('preset-file').addEventListener('change', (e) => {
    const file = e.target.files[0];
    e.target.value = '';
    if (file) panel.open(file).catch((error) => showError(`"${file.name}" could not be read: ${error.message || error}`));
  });
  document.addEventListener('keydown', keyListener(plugin, keyActions(), (binding) => {
    if (binding.pageNote) tell(`${binding.key === ' ' ? 'space' : binding.key}: ${binding.pageNote}`);
  }));
  document.addEventListener('dragover', (e) => { e.preventDefault(); document.body.classList.add('dragging'); });
  document.addEventListener('dragleave', () => document.body.classList.remove('dragging'));
  document.addEventListener('drop', (e) => {
    e.preventDefault();
    document.body.classList.remove('dragging');
    openFile(e.dataTransfer?.files?.[0]);
  });
  updateControls();
  if ('serviceWorker' in navigator) navigator.serviceWorker.register('./sw.js').catch(() => { /* online only */ });
  hooks.ready = true;
}

main().catch((e) => showError(`The page could not start: ${e.message || e}`));
