// Save video: the loaded sound rendered offline, encoded with WebCodecs and
// muxed by mediabunny; ffprobe reads one video and one sound stream with the
// size, frame count and duration asked for, in MP4 (H.264 + Opus) and WebM
// (VP9 + Opus). Cancel stops it with a message; a size the encoder refuses
// keeps the button disabled with the reason.
import { requireOrSkip, openPage, openFile, writeWav, tempFolder, alertText, sharedSession } from './harness.mjs';
requireOrSkip({ needFfprobe: true });

import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { writeFileSync } from 'node:fs';
import { join } from 'node:path';

const dir = tempFolder();
const session = sharedSession();

function probe(path) {
  const run = spawnSync('ffprobe', ['-v', 'error', '-count_frames', '-show_entries',
    'stream=codec_type,codec_name,width,height,nb_read_frames,sample_rate,channels:format=duration,format_name',
    '-of', 'json', path], { encoding: 'utf8' });
  assert.equal(run.status, 0, `ffprobe: ${run.stderr}`);
  return JSON.parse(run.stdout);
}

async function chooseExport(page, size, fps, format) {
  await page.locator('::-p-aria(Size)').fill(size);
  await page.select('#fps', String(fps));
  await page.select('#format', format);
  await page.$eval('#format', (s) => s.dispatchEvent(new Event('input')));
}

async function savedVideo(page) {
  await page.waitForFunction(() => window.gyrotrailPage.lastExport || !document.getElementById('message').hidden, { timeout: 120000 });
  assert.equal(await alertText(page), '');
  const base64 = await page.evaluate(async () => {
    const bytes = new Uint8Array(await window.gyrotrailPage.lastExport.blob.arrayBuffer());
    let text = '';
    for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
    window.gyrotrailPage.lastExport = null;
    return btoa(text);
  });
  return Buffer.from(base64, 'base64');
}

test('Save video makes an MP4 and a WebM that ffprobe reads', async () => {
  const wav = join(dir, 'two.wav');
  writeWav(wav, { seconds: 2, rate: 44100 });
  const page = await openPage(session.browser, session.server.url);
  await openFile(page, wav);
  await page.waitForFunction(() => document.getElementById('now').textContent.includes('two.wav'));
  for (const [format, size, fps, videoCodec, w, h] of [['mp4', '320x240', 30, 'h264', 320, 240], ['webm', '256x144', 25, 'vp9', 256, 144]]) {
    await chooseExport(page, size, fps, format);
    await page.waitForFunction(() => !document.getElementById('save').disabled, { timeout: 10000 });
    await page.locator('::-p-aria([name="Save video"][role="button"])').click();
    const bytes = await savedVideo(page);
    const path = join(dir, `out.${format}`);
    writeFileSync(path, bytes);
    const info = probe(path);
    const video = info.streams.filter((s) => s.codec_type === 'video');
    const audio = info.streams.filter((s) => s.codec_type === 'audio');
    assert.equal(video.length, 1, `${format}: one video stream`);
    assert.equal(audio.length, 1, `${format}: one sound stream`);
    assert.equal(video[0].codec_name, videoCodec);
    assert.equal(audio[0].codec_name, 'opus');
    assert.equal(audio[0].channels, 2);
    assert.equal([video[0].width, video[0].height].join('x'), `${w}x${h}`);
    assert.equal(Number(video[0].nb_read_frames), 2 * fps, `${format}: one frame per block`);
    assert.ok(Math.abs(Number(info.format.duration) - 2) < 0.1, `${format}: duration ${info.format.duration}`);
  }
  await page.close();
});

test('Cancel stops an export with a message; a refused size says why', async () => {
  const wav = join(dir, 'long.wav');
  writeWav(wav, { seconds: 30, rate: 48000 });
  const page = await openPage(session.browser, session.server.url);
  await openFile(page, wav);
  await page.waitForFunction(() => document.getElementById('now').textContent.includes('long.wav'));
  await chooseExport(page, '1280x720', 60, 'mp4');
  await page.waitForFunction(() => !document.getElementById('save').disabled, { timeout: 10000 });
  await page.locator('::-p-aria([name="Save video"][role="button"])').click();
  await page.waitForFunction(() => document.getElementById('progress').value > 0, { timeout: 30000 });
  await page.locator('::-p-aria([name="Cancel"][role="button"])').click();
  await page.waitForFunction(() => !document.getElementById('message').hidden, { timeout: 30000 });
  assert.match(await alertText(page), /cancelled/);
  assert.equal(await page.evaluate(() => window.gyrotrailPage.lastExport ?? null), null, 'nothing saved');
  assert.equal(await page.$eval('#progress', (p) => p.hidden), true);

  // H.264 takes no odd sizes: the button stays disabled and says so.
  await chooseExport(page, '321x241', 30, 'mp4');
  await page.waitForFunction(() => document.getElementById('save-reason').textContent.includes('cannot encode'), { timeout: 10000 });
  assert.equal(await page.$eval('#save', (b) => b.disabled), true);
  // The page still plays what it had.
  assert.match(await page.$eval('#now', (e) => e.textContent), /long\.wav/);
  await page.close();
});
