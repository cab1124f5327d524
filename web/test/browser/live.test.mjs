// Live sound and bad input: chromium's fake microphone (playing a WAV made
// here) drives the figure; a refused microphone, a file the browser cannot
// decode and a file with no sound each give their message in the page's
// alert, and the page then plays a good file.
import { requireOrSkip, serve, launch, openPage, openFile, writeWav, tempFolder, alertText } from './harness.mjs';
requireOrSkip();

import { test, after, before } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { writeFileSync } from 'node:fs';
import { join } from 'node:path';

const dir = tempFolder();
const micWav = join(dir, 'mic.wav');
writeWav(micWav, { seconds: 5, rate: 48000, seed: 7 });
let server;
before(async () => { server = await serve(); });
after(() => server?.stop());

test('the fake microphone drives the figure', async () => {
  const browser = await launch(['--use-fake-ui-for-media-stream', '--use-fake-device-for-media-stream', `--use-file-for-fake-audio-capture=${micWav}`]);
  try {
    const page = await openPage(browser, server.url, '?zoom-factor=1');
    assert.equal(await page.evaluate(() => window.gyrotrailPage.litPixels()), 0);
    await page.locator('::-p-aria([name="Microphone"][role="button"])').click();
    await page.waitForFunction(() => window.gyrotrailPage.liveBlocks() > 30 && window.gyrotrailPage.litPixels() > 0, { timeout: 20000 });
    assert.equal(await alertText(page), '');
    assert.match(await page.$eval('#now', (e) => e.textContent), /Microphone, live/);
    // The figure keeps moving as sound arrives.
    const before = await page.evaluate(() => window.gyrotrailPage.liveBlocks());
    await page.waitForFunction((n) => window.gyrotrailPage.liveBlocks() > n + 20, { timeout: 10000 }, before);
    assert.deepEqual(page.errors, []);
  } finally {
    await browser.close();
  }
});

test('a refused microphone, an undecodable file and a file with no sound give their messages; a good file then plays', async () => {
  // A microphone exists, but the page is denied it.
  const browser = await launch(['--use-fake-device-for-media-stream']);
  try {
    const page = await openPage(browser, server.url);
    await browser.defaultBrowserContext().overridePermissions(server.url, []);
    await page.locator('::-p-aria([name="Microphone"][role="button"])').click();
    await page.waitForFunction(() => !document.getElementById('message').hidden, { timeout: 10000 });
    assert.match(await alertText(page), /microphone was refused/i);

    const junk = join(dir, 'noise.mp3');
    writeFileSync(junk, Buffer.from('this is not a sound file at all, only some words'.repeat(50)));
    await openFile(page, junk);
    await page.waitForFunction(() => /noise\.mp3/.test(document.getElementById('message').textContent), { timeout: 10000 });
    assert.match(await alertText(page), /not a sound this browser can decode/);

    // A video file with no sound track (made by ffmpeg, where it is installed).
    const silentVideo = join(dir, 'picture-only.webm');
    const made = spawnSync('ffmpeg', ['-v', 'error', '-f', 'lavfi', '-i', 'color=c=blue:s=64x64:d=1', '-c:v', 'libvpx-vp9', '-y', silentVideo]);
    if (made.status === 0) {
      await openFile(page, silentVideo);
      await page.waitForFunction(() => /picture-only/.test(document.getElementById('message').textContent), { timeout: 10000 });
      assert.match(await alertText(page), /has no sound/);
    }

    const good = join(dir, 'good.wav');
    writeWav(good, { seconds: 3 });
    await openFile(page, good);
    await page.waitForFunction(() => window.gyrotrailPage.playing(), { timeout: 10000 });
    assert.equal(await alertText(page), '', 'the message goes once a good file opens');
    assert.match(await page.$eval('#now', (e) => e.textContent), /good\.wav/);
    assert.deepEqual(page.errors, []);
  } finally {
    await browser.close();
  }
});

test('a shared screen with no sound track gives its message and draws nothing', async () => {
  const browser = await launch();
  try {
    const page = await browser.newPage();
    // What a screen shared without "Share audio" gives: a stream with a video track only.
    await page.evaluateOnNewDocument(() => {
      navigator.mediaDevices.getDisplayMedia = async () => {
        const canvas = document.createElement('canvas');
        canvas.getContext('2d').fillRect(0, 0, 10, 10);
        return canvas.captureStream(5);
      };
    });
    await page.goto(server.url);
    await page.waitForFunction(() => window.gyrotrailPage?.ready === true);
    await page.locator('::-p-aria([name="Tab or screen sound"][role="button"])').click();
    await page.waitForFunction(() => !document.getElementById('message').hidden, { timeout: 10000 });
    assert.match(await alertText(page), /What was shared has no sound/);
    assert.equal(await page.evaluate(() => window.gyrotrailPage.liveBlocks()), 0);
  } finally {
    await browser.close();
  }
});

test('once loaded, the page works offline: it reloads and plays the demo', async () => {
  const browser = await launch();
  try {
    const page = await openPage(browser, server.url);
    await page.evaluate(async () => { await navigator.serviceWorker.ready; });
    await page.setOfflineMode(true);
    await page.reload();
    await page.waitForFunction(() => window.gyrotrailPage?.ready === true, { timeout: 20000 });
    await page.locator('::-p-aria([name="Demo"][role="button"])').click();
    await page.waitForFunction(() => window.gyrotrailPage.playing() && window.gyrotrailPage.litPixels() > 0, { timeout: 20000 });
    assert.equal(await alertText(page), '');
  } finally {
    await browser.close();
  }
});
