// The settings panel is the plug-in's own table: the six settings with the
// names and values `lumhost info` prints, each control found by its
// accessible name; ranges are the plug-in's clamping; a change shows in the
// next frame; lumhost play's keys work; settings are remembered.
import { requireOrSkip, openPage, openFile, writeWav, tempFolder, lumhostTable, sharedSession } from './harness.mjs';
requireOrSkip({ needLumhost: true });

import { test } from 'node:test';
import assert from 'node:assert/strict';
import { join } from 'node:path';

const session = sharedSession();

// What the panel shows for a setting, in lumhost info's words.
async function shown(page, name) {
  const control = await page.$(`::-p-aria(${name})`);
  assert.ok(control, `a control named "${name}"`);
  return control.evaluate((input) => ({
    kind: input.type,
    value: input.type === 'checkbox' ? (input.checked ? 'on' : 'off') : input.value,
    range: input.min !== '' ? `${input.min}-${input.max}` : '-',
  }));
}

// Types a value into a setting's field and leaves it, as a person does.
async function enter(page, name, value) {
  await page.locator(`::-p-aria(${name})`).fill(value);
  await page.$eval(`::-p-aria(${name})`, (input) => input.blur());
}

test('the panel lists the six settings with lumhost info\'s names, values and ranges', async () => {
  const table = lumhostTable();
  assert.equal(Object.keys(table).length, 6, 'lumhost info lists six settings');
  const page = await openPage(session.browser, session.server.url);
  const labels = await page.$$eval('#settings label', (all) => all.map((l) => l.textContent));
  assert.deepEqual(labels, Object.keys(table));
  for (const [name, row] of Object.entries(table)) {
    const control = await shown(page, name);
    if (row.type === 'colour') {
      assert.equal(control.kind, 'color');
      assert.equal(control.value, '#ffffff');
      assert.equal(row.value, '0x00FFFFFF');
    } else if (row.type === 'toggle') {
      assert.equal(control.kind, 'checkbox');
      assert.equal(control.value, row.value);
    } else {
      assert.equal(control.kind, 'number');
      assert.equal(control.value, row.value, name);
      assert.equal(control.range, row.range, `${name}: the range the plug-in clamps to`);
    }
  }
  await page.close();
});

test('a change goes through the plug-in, shows clamped, and shows in the next frame', async () => {
  const dir = tempFolder();
  const wav = join(dir, 'long.wav');
  writeWav(wav, { seconds: 20, rate: 48000 });
  const page = await openPage(session.browser, session.server.url);
  await enter(page, 'Zoom factor', '1');
  await openFile(page, wav);
  await page.waitForFunction(() => window.gyrotrailPage.playing() && window.gyrotrailPage.litPixels() > 0, { timeout: 15000 });
  const red = 0xff0000;
  assert.equal(await page.evaluate((v) => window.gyrotrailPage.litPixels(v), red), 0, 'no red before');
  await page.$eval('::-p-aria(Color)', (input) => { input.value = '#ff0000'; input.dispatchEvent(new Event('change')); });
  await page.waitForFunction((v) => window.gyrotrailPage.litPixels(v) > 0, { timeout: 5000 }, red);

  // Clamped by the plug-in, shown as applied.
  await enter(page, 'Line width', '0');
  assert.equal((await shown(page, 'Line width')).value, '1');
  await enter(page, 'Line length', '99');
  assert.equal((await shown(page, 'Line length')).value, '30');

  // lumhost play's keys.
  await page.click('#stage');
  await page.keyboard.press('a');
  await page.keyboard.press('a');
  assert.equal((await shown(page, 'Zoom factor')).value, '3');
  await page.keyboard.press('t');
  assert.equal((await shown(page, 'Fade out')).value, 'off');
  await page.keyboard.press('[');
  assert.equal((await shown(page, 'Line length')).value, '29');
  assert.match(await page.evaluate(() => location.search), /zoom-factor=3/);

  // The Play button pauses and plays.
  await page.locator('::-p-aria(Pause)').click();
  await page.waitForFunction(() => !window.gyrotrailPage.playing());
  assert.equal(await page.$eval('#play', (b) => b.getAttribute('aria-label')), 'Play');
  await page.locator('::-p-aria(Play)').click();
  await page.waitForFunction(() => window.gyrotrailPage.playing());

  // Seeking moves the sound and the figure on from there.
  await page.$eval('::-p-aria(Position)', (slider) => { slider.value = '15'; slider.dispatchEvent(new Event('change')); });
  await page.waitForFunction(() => /^0:1[5-9] \/ 0:20$/.test(document.getElementById('time').textContent), { timeout: 10000 });
  assert.ok(await page.evaluate(() => window.gyrotrailPage.playing()));

  // Fullscreen shows the figure alone (Esc leaves it, as the browser does).
  await page.locator('::-p-aria([name="Fullscreen"][role="button"])').click();
  await page.waitForFunction(() => document.fullscreenElement?.id === 'stage', { timeout: 5000 });
  await page.evaluate(() => document.exitFullscreen());
  await page.waitForFunction(() => document.fullscreenElement === null, { timeout: 5000 });

  // Remembered on the next visit without settings in the address.
  const again = await openPage(session.browser, session.server.url);
  assert.equal((await shown(again, 'Zoom factor')).value, '3');
  assert.equal((await shown(again, 'Line width')).value, '1');
  assert.equal((await shown(again, 'Color')).value, '#ff0000');
  assert.deepEqual(page.errors, []);
  await again.close();
  await page.close();
});
