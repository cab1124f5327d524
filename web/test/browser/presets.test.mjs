// Presets in the page, in lumhost's file format: an installed preset chosen
// in the page gives its values in the panel and lumhost's frames; a preset
// made in the page and downloaded is read by lumhost as the same settings;
// a bad file gives the shared rules' FILE:LINE message and changes nothing;
// Save preset, Next preset and Random settings do what w, n and u do.
import {
  requireOrSkip, openPage, openFile, writeWav, tempFolder, root, alertText, sharedSession,
  runLumhost, lumhostTable, lumhostFrameHashes, assertSameFrames,
} from './harness.mjs';
requireOrSkip({ needLumhost: true });

import { test } from 'node:test';
import assert from 'node:assert/strict';
import { writeFileSync } from 'node:fs';
import { join } from 'node:path';

const session = sharedSession();
const dir = tempFolder();
const installed = join(root, 'dist', 'presets', 'gyrotrail');

// The page with nothing kept from an earlier test.
async function freshPage() {
  const page = await openPage(session.browser, session.server.url);
  await page.evaluate(() => localStorage.clear());
  await page.goto(session.server.url);
  await page.waitForFunction(() => window.gyrotrailPage?.ready === true);
  return page;
}

// The page's settings in lumhost info's words: {name: value}.
async function panelAsLumhost(page) {
  const params = await page.evaluate(() => window.gyrotrailPage.params());
  return Object.fromEntries(params.map((p) => [p.name,
    p.type === 'toggle' ? (p.value ? 'on' : 'off')
      : p.type === 'color' ? `0x${(p.value >>> 0).toString(16).toUpperCase().padStart(8, '0')}` : String(p.value)]));
}

const tableValues = (table) => Object.fromEntries(Object.entries(table).map(([name, row]) => [name, row.value]));

async function openPresetFile(page, path) {
  const input = await page.$('#preset-file');
  await input.uploadFile(path);
}

test('choosing an installed preset gives its values in the panel and lumhost\'s frames', async () => {
  const page = await freshPage();
  const options = await page.$$eval('#preset option', (all) => all.map((o) => o.value).filter(Boolean));
  assert.deepEqual(options, ['bold', 'long-trail'], 'the presets installed with lumhost');
  const preset = await page.$('::-p-aria([name="Preset"][role="combobox"])');
  assert.ok(preset, 'a list named Preset');
  await page.select('#preset', 'bold');
  const bold = join(installed, 'bold.preset');
  assert.deepEqual(await panelAsLumhost(page), tableValues(lumhostTable(['--load-preset', bold])));
  assert.match(await page.$eval('#status', (s) => s.textContent), /^preset bold/);
  const shownWidth = await page.$eval('::-p-aria(Line width)', (input) => input.value);
  assert.equal(shownWidth, lumhostTable(['--load-preset', bold])['Line width'].value, 'the field shows it');

  const wav = join(dir, 'swing.wav');
  writeWav(wav, { seconds: 1.2, rate: 44100, seed: 5 });
  await openFile(page, wav);
  await page.waitForFunction(() => document.getElementById('now').textContent.includes('swing.wav'));
  // Large enough for bold's wide strokes to stay in the picture.
  const mine = await page.evaluate(() => window.gyrotrailPage.frameHashes(640, 360, 30));
  assertSameFrames(mine, lumhostFrameHashes([wav, '--fps', '30', '--load-preset', bold], 640, 360), 'bold');
  assert.deepEqual(page.errors, []);
  await page.close();
});

test('a preset made in the page and downloaded is the same settings to lumhost', async () => {
  const page = await freshPage();
  await page.locator('::-p-aria([name="Random settings"][role="button"])').click();
  assert.match(await page.$eval('#status', (s) => s.textContent), /^random settings: /);
  await page.click('#stage');
  await page.keyboard.press('c');   // a colour of the player's, beside the random values
  await page.locator('::-p-aria(Preset name)').fill('mine');
  await page.locator('::-p-aria([name="Download preset"][role="button"])').click();
  const download = await page.evaluate(() => window.gyrotrailPage.lastDownload());
  assert.equal(download.name, 'mine.preset');
  const file = join(dir, download.name);
  writeFileSync(file, download.text);
  assert.deepEqual(tableValues(lumhostTable(['--load-preset', file])), await panelAsLumhost(page));

  // And lumhost's own file of those settings opens in the page as the same.
  const saved = runLumhost(['presets', '--save', 'from-lumhost', '--load-preset', file]).stdout.trim().split('\n').at(-1);
  const settings = await panelAsLumhost(page);
  const other = await freshPage();
  await openPresetFile(other, saved);
  await other.waitForFunction(() => /preset from-lumhost/.test(document.getElementById('status').textContent));
  assert.deepEqual(await panelAsLumhost(other), settings);
  assert.equal(await other.$eval('#preset', (s) => s.value), 'from-lumhost', 'kept among the person\'s presets');
  assert.deepEqual([...page.errors, ...other.errors], []);
  await other.close();
  await page.close();
});

test('a bad preset file gives the rules\' FILE:LINE message, as lumhost does, and changes nothing', async () => {
  const page = await freshPage();
  const before = await panelAsLumhost(page);
  const bad = join(dir, 'bad.preset');
  writeFileSync(bad, '# almost\nzoom factor=5\nline width=7\nglow=on\n');
  await openPresetFile(page, bad);
  await page.waitForFunction(() => !document.getElementById('message').hidden, { timeout: 5000 });
  const message = await alertText(page);
  assert.match(message, /^bad\.preset:4: /);
  const lumhostSays = runLumhost(['info', '--load-preset', bad], { expectStatus: null });
  assert.notEqual(lumhostSays.status, 0);
  assert.ok(lumhostSays.stderr.includes(message), `lumhost: ${lumhostSays.stderr}page: ${message}`);
  assert.deepEqual(await panelAsLumhost(page), before, 'nothing applied');
  assert.equal(await page.$eval('#preset', (s) => s.value), '', 'nor kept');

  // A good preset clears the message.
  await page.select('#preset', 'long-trail');
  assert.equal(await alertText(page), '');
  await page.close();
});

test('Save preset keeps the settings under a name, w under the next free one; Next preset goes round them all, as n does', async () => {
  const page = await freshPage();
  await page.locator('::-p-aria(Preset name)').fill('wide one');
  await page.$eval('::-p-aria(Line width)', (input) => { input.value = '33'; input.dispatchEvent(new Event('change')); });
  await page.locator('::-p-aria([name="Save preset"][role="button"])').click();
  assert.equal(await page.$eval('#preset', (s) => s.value), 'wide one');
  await page.click('#stage');
  await page.keyboard.press('w');
  assert.equal(await page.$eval('#status', (s) => s.textContent), 'saved preset saved-1');
  await page.keyboard.press('w');
  assert.equal(await page.$eval('#preset', (s) => s.value), 'saved-2');

  // Kept for the next visit, the person's first, each group in name order.
  const again = await openPage(session.browser, session.server.url);
  const order = await again.$$eval('#preset option', (all) => all.map((o) => o.value).filter(Boolean));
  assert.deepEqual(order, ['saved-1', 'saved-2', 'wide one', 'bold', 'long-trail']);
  const chosen = [];
  await again.click('#stage');
  for (let i = 0; i < order.length + 1; i++) {
    await (i % 2 ? again.keyboard.press('n') : again.locator('::-p-aria([name="Next preset"][role="button"])').click());
    chosen.push(await again.$eval('#preset', (s) => s.value));
  }
  assert.deepEqual(chosen, [...order, order[0]]);
  await again.select('#preset', 'wide one');
  assert.equal(await again.$eval('::-p-aria(Line width)', (input) => input.value), '33');
  await again.close();
  await page.close();
});
