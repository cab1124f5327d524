// The page's frames equal lumhost's, byte for byte: a WAV made here, opened
// through the page's file chooser, rendered by the page's own offline path
// (the module's canvas memory, hashed in the page) and by `lumhost render
// -o -` (raw bgr0), at two sizes and two frame rates, with settings changed
// in the panel and with settings given in a link.
import {
  requireOrSkip, openPage, openFile, writeWav, tempFolder, lumhost, alertText, sharedSession, lumhostFrameHashes, assertSameFrames,
} from './harness.mjs';
requireOrSkip({ needLumhost: true });

import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { join } from 'node:path';

const dir = tempFolder();
const wav = join(dir, 'swing.wav');
writeWav(wav, { seconds: 1.3, rate: 44100 });
const session = sharedSession();

// lumhost's frames of `sound` (the WAV; null for the demo).
function lumhostHashes(width, height, fps, sets, sound = wav) {
  const args = [...(sound ? [sound] : []), '--fps', String(fps)];
  for (const s of sets) args.push('--set', s);
  return lumhostFrameHashes(args, width, height);
}

async function setInPanel(page, name, value) {
  const id = await page.evaluate((n) => window.gyrotrailPage.params().find((p) => p.name === n).id, name);
  await page.$eval(`#param-${id}`, (input, v) => {
    if (input.type === 'checkbox') input.checked = v === 'on';
    else input.value = v;
    input.dispatchEvent(new Event('change'));
  }, value);
}

test('frames equal lumhost render at two sizes and two rates, settings changed in the panel', async () => {
  const page = await openPage(session.browser, session.server.url);
  await openFile(page, wav);
  await page.waitForFunction(() => document.getElementById('now').textContent.includes('swing.wav'));
  await setInPanel(page, 'Zoom factor', '1');
  await setInPanel(page, 'Line width', '3');
  await setInPanel(page, 'Rotation speed', '2');
  const sets = ['zoom factor=1', 'line width=3', 'rotation speed=2'];
  for (const [width, height, fps] of [[320, 180, 60], [161, 97, 24]]) {
    const native = lumhostHashes(width, height, fps, sets);
    const mine = await page.evaluate((w, h, f) => window.gyrotrailPage.frameHashes(w, h, f), width, height, fps);
    assertSameFrames(mine, native, `${width}x${height} at ${fps} fps`);
  }
  assert.equal(await alertText(page), '');
  assert.deepEqual(page.errors, []);
  await page.close();
});

test('a link with settings reproduces them, in the panel and in the frames', async () => {
  const page = await openPage(session.browser, session.server.url, '?zoom-factor=2&line-length=9&fade-out=off&color=%2300ff80&line-width=1000');
  const params = Object.fromEntries((await page.evaluate(() => window.gyrotrailPage.params())).map((p) => [p.name, p.value]));
  assert.equal(params['Zoom factor'], 2);
  assert.equal(params['Line length'], 9);
  assert.equal(params['Fade out'], 0);
  assert.equal(params['Color'], 0x80ff00, '#00ff80 is 0x0080FF00 to the plug-in');
  assert.equal(params['Line width'], 50, 'an out-of-range width is clamped by the plug-in');
  assert.equal(await page.$eval('#param-11', (i) => i.value), '50');
  const query = await page.evaluate(() => location.search);
  assert.match(query, /line-width=50/, 'the address shows the value applied');
  await openFile(page, wav);
  await page.waitForFunction(() => document.getElementById('now').textContent.includes('swing.wav'));
  const native = lumhostHashes(200, 120, 30, ['zoom factor=2', 'line length=9', 'fade out=off', 'color=#00ff80', 'line width=50']);
  const mine = await page.evaluate(() => window.gyrotrailPage.frameHashes(200, 120, 30));
  assertSameFrames(mine, native, 'linked settings');
  await page.close();
});

test('the demo is lumhost\'s, frame for frame', async () => {
  const page = await openPage(session.browser, session.server.url, '?zoom-factor=40');
  await page.locator('::-p-aria([name="Demo"][role="button"])').click();
  await page.waitForFunction(() => document.getElementById('now').textContent.startsWith('demo'));
  await page.locator('::-p-aria(Pause)').click();
  const native = lumhostHashes(160, 90, 30, ['zoom factor=40'], null);
  const mine = await page.evaluate(() => window.gyrotrailPage.frameHashes(160, 90, 30));
  assert.equal(native.length, 600, 'twenty seconds at 30 fps');
  assertSameFrames(mine, native, 'demo');
  await page.close();
});

test('FLAC, decoded in pieces by WebCodecs, gives lumhost\'s frames; MP3, AAC and Opus play', async () => {
  const flac = join(dir, 'swing.flac');
  const made = spawnSync('ffmpeg', ['-v', 'error', '-i', wav, '-c:a', 'flac', '-y', flac]);
  if (made.status !== 0) return;   // no ffmpeg here: nothing to make the files with
  const page = await openPage(session.browser, session.server.url, '?zoom-factor=1');
  await openFile(page, flac);
  await page.waitForFunction(() => document.getElementById('now').textContent.includes('swing.flac'));
  const native = lumhostHashes(240, 135, 50, ['zoom factor=1'], flac);
  const mine = await page.evaluate(() => window.gyrotrailPage.frameHashes(240, 135, 50));
  assertSameFrames(mine, native, 'FLAC');
  for (const [extension, codec] of [['mp3', 'libmp3lame'], ['m4a', 'aac'], ['opus', 'libopus']]) {
    const file = join(dir, `swing.${extension}`);
    if (spawnSync('ffmpeg', ['-v', 'error', '-i', wav, '-c:a', codec, '-y', file]).status !== 0) continue;
    await openFile(page, file);
    await page.waitForFunction((name) => document.getElementById('now').textContent.includes(name) && window.gyrotrailPage.playing(),
      { timeout: 10000 }, `swing.${extension}`);
    await page.waitForFunction(() => window.gyrotrailPage.litPixels() > 0, { timeout: 10000 });
    assert.equal(await alertText(page), '', extension);
  }
  await page.close();
});

test('5.1 sound in WAV and FLAC gives lumhost\'s frames: both mix it down with the shared matrix', async () => {
  // Six channels that all differ, made by ffmpeg from the stereo sound.
  const layouts = 'pan=5.1|FL=c0|FR=c1|FC=0.6*c0+0.3*c1|LFE=c1|BL=0.8*c1|BR=0.5*c0-0.4*c1';
  const files = [];
  for (const [name, codec] of [['surround.wav', 'pcm_s16le'], ['surround.flac', 'flac']]) {
    const file = join(dir, name);
    if (spawnSync('ffmpeg', ['-v', 'error', '-i', wav, '-af', layouts, '-c:a', codec, '-y', file]).status !== 0) return;
    files.push(file);
  }
  const page = await openPage(session.browser, session.server.url, '?zoom-factor=1&line-width=2');
  for (const file of files) {
    await openFile(page, file);
    const name = file.split('/').at(-1);
    await page.waitForFunction((n) => document.getElementById('now').textContent.includes(n), {}, name);
    assert.match(await page.$eval('#now', (e) => e.textContent), /6 channels/);
    const native = lumhostHashes(192, 108, 30, ['zoom factor=1', 'line width=2'], file);
    const mine = await page.evaluate(() => window.gyrotrailPage.frameHashes(192, 108, 30));
    assertSameFrames(mine, native, name);
  }
  assert.equal(await alertText(page), '');
  await page.close();
});
