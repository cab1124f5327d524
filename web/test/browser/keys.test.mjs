// The page's keys are lumhost play's, from the one table: the setting keys
// change the panel as they change lumhost play's plug-in (the same steps,
// the same colours, the same words said), mute and volume say what lumhost
// says, space pauses and the arrows seek, h shows the help; the help in the
// page and `lumhost play --help` come from the same table.
import { requireOrSkip, openPage, openFile, writeWav, tempFolder, lumhost, runLumhost, sharedSession } from './harness.mjs';
requireOrSkip({ needLumhost: true });

import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';

const session = sharedSession();
const dir = tempFolder();

// The keys pressed in both, as the browser and as xdotool name them.
const keys = [['a', 'a'], ['z', 'z'], ['s', 's'], ['x', 'x'], [']', 'bracketright'], ['.', 'period'], ['t', 't'], ['c', 'c'],
  ['c', 'c'], ['m', 'm'], ['9', '9'], ['0', '0'], ['0', '0']];

// What lumhost play says on stderr for each of the keys, pressed in its
// window under a virtual X server; null where that cannot be run here.
function lumhostPlaySays() {
  if (spawnSync('sh', ['-c', 'command -v xvfb-run && command -v xdotool']).status !== 0) return null;
  const wav = join(dir, 'play.wav');
  writeWav(wav, { seconds: 8, rate: 48000 });
  const script = [
    `SDL_AUDIODRIVER=dummy XDG_CONFIG_HOME=${dir} '${lumhost}' play '${wav}' --size 320x240 2>'${dir}/play.err' &`,
    'pid=$!',
    "id=$(xdotool search --sync --name '^lumhost')",
    'sleep 0.5',
    `xdotool key --delay 50 --window $id ${keys.map(([, name]) => name).join(' ')}`,
    'sleep 0.5',
    'xdotool key --window $id q',
    'wait $pid',
  ].join('\n');
  writeFileSync(join(dir, 'keys.sh'), script);
  const run = spawnSync('timeout', ['60', 'xvfb-run', '-a', '-s', '-screen 0 400x300x24', 'sh', join(dir, 'keys.sh')], { encoding: 'utf8' });
  const said = readFileSync(join(dir, 'play.err'), 'utf8');
  assert.equal(run.status, 0, `lumhost play: ${run.stderr}${said}`);
  return said.split('\n').filter((line) => line.startsWith('lumhost: ')).map((line) => line.slice('lumhost: '.length));
}

test('the setting, mute and volume keys do in the page what they do in lumhost play', async (t) => {
  const lumhostSaid = lumhostPlaySays();
  if (!lumhostSaid) { t.skip('no xvfb-run or xdotool to drive lumhost play'); return; }
  assert.equal(lumhostSaid.length, keys.length, lumhostSaid.join('\n'));

  const page = await openPage(session.browser, session.server.url);
  await page.click('#stage');
  const pageSaid = [];
  for (const [key] of keys) {
    await page.evaluate(() => { document.getElementById('status').textContent = ''; });
    await page.keyboard.press(key);
    pageSaid.push(await page.$eval('#status', (s) => s.textContent));
  }
  assert.deepEqual(pageSaid, lumhostSaid);

  // The panel shows the values the plug-in applied, as lumhost says them.
  const params = Object.fromEntries((await page.evaluate(() => window.gyrotrailPage.params())).map((p) => [p.name, p]));
  for (const line of lumhostSaid) {
    const m = /^(.+?): (\S+)/.exec(line);
    if (!m || !params[m[1]]) continue;
    const p = params[m[1]];
    const lastSaid = lumhostSaid.filter((l) => l.startsWith(`${m[1]}: `)).at(-1);
    const value = /^.+?: (\S+)/.exec(lastSaid)[1];
    const expected = p.type === 'toggle' ? (value === 'on' ? 1 : 0) : p.type === 'color' ? Number.parseInt(value, 16) : Number(value);
    assert.equal(p.value, expected, `${p.name} in the panel`);
    const input = await page.$eval(`#param-${p.id}`, (i) => (i.type === 'checkbox' ? i.checked : i.value));
    if (p.type === 'integer') assert.equal(input, value, `${p.name}'s field`);
  }
  assert.deepEqual(await page.evaluate(() => window.gyrotrailPage.volume()), { volume: 100, muted: false });
  assert.deepEqual(page.errors, []);
  await page.close();
});

test('space pauses and resumes, the arrows seek 5 and 60 seconds, q and Esc say what they do here', async () => {
  const wav = join(dir, 'long.wav');
  writeWav(wav, { seconds: 30, rate: 44100 });
  const page = await openPage(session.browser, session.server.url);
  await openFile(page, wav);
  await page.waitForFunction(() => window.gyrotrailPage.playing() && window.gyrotrailPage.position() > 0.3, { timeout: 15000 });
  await page.click('#stage');
  await page.keyboard.press(' ');
  await page.waitForFunction(() => !window.gyrotrailPage.playing());
  const at = await page.evaluate(() => window.gyrotrailPage.position());
  await page.keyboard.press('ArrowRight');
  await page.waitForFunction((p) => window.gyrotrailPage.position() > p + 4, {}, at);
  assert.ok(Math.abs(await page.evaluate(() => window.gyrotrailPage.position()) - (at + 5)) < 0.01, 'Right: 5 s on');
  await page.keyboard.press('ArrowUp');
  await page.waitForFunction((p) => window.gyrotrailPage.position() !== p, {}, at + 5);
  assert.equal(await page.evaluate(() => window.gyrotrailPage.position()), await page.$eval('#position', (s) => Number(s.max)),
    'Up: a minute on, no further than the end');
  await page.keyboard.press('ArrowDown');
  await page.keyboard.press('ArrowLeft');
  await page.waitForFunction(() => window.gyrotrailPage.position() === 0);
  assert.equal(await page.evaluate(() => window.gyrotrailPage.playing()), false, 'seeking keeps it paused');
  await page.keyboard.press('ArrowRight');
  await page.waitForFunction(() => window.gyrotrailPage.position() === 5);
  await page.keyboard.press(' ');
  await page.waitForFunction(() => window.gyrotrailPage.playing() && window.gyrotrailPage.position() > 5, { timeout: 10000 });
  assert.ok(await page.evaluate(() => window.gyrotrailPage.position()) < 8, 'resumed where the seek left it');

  await page.keyboard.press('q');
  assert.match(await page.$eval('#status', (s) => s.textContent), /^q: not in the page: close the tab/);
  await page.keyboard.press('>');
  assert.match(await page.$eval('#status', (s) => s.textContent), /^>: not in the page/);
  assert.ok(await page.evaluate(() => window.gyrotrailPage.playing()), 'neither stopped the sound');
  assert.deepEqual(page.errors, []);
  await page.close();
});

test('the page\'s key help, lumhost play\'s and lumhost play --help\'s come from the one table', async () => {
  const page = await openPage(session.browser, session.server.url);
  assert.equal((await page.evaluate(() => window.gyrotrailPage.keyHelp())).shown, false);
  await page.click('#stage');
  await page.keyboard.press('h');
  const help = await page.evaluate(() => window.gyrotrailPage.keyHelp());
  assert.equal(help.shown, true, 'h shows the help');
  assert.ok(await page.$eval('#key-help', (e) => e.getBoundingClientRect().height > 100), 'over the picture');
  await page.keyboard.press('h');
  assert.equal((await page.evaluate(() => window.gyrotrailPage.keyHelp())).shown, false, 'h hides it again');
  await page.locator('::-p-aria([name="Keys"][role="button"])').click();
  assert.equal((await page.evaluate(() => window.gyrotrailPage.keyHelp())).shown, true, 'so does the Keys button');

  const usage = runLumhost(['play', '--help']).stdout.split('\n');
  const from = usage.indexOf('Keys in the window:');
  assert.ok(from >= 0, 'lumhost play --help lists the keys');
  const lumhostLines = [];
  for (const line of usage.slice(from + 1)) {
    if (!line.startsWith('  ')) break;
    lumhostLines.push(line.slice(2));
  }
  assert.ok(lumhostLines.length > 15, lumhostLines.join('\n'));
  assert.equal(help.lines.length, lumhostLines.length, 'a line for every line of lumhost\'s');
  let noted = 0;
  lumhostLines.forEach((line, i) => {
    assert.ok(help.lines[i].startsWith(line), `page: "${help.lines[i]}"\nlumhost: "${line}"`);
    const note = help.lines[i].slice(line.length);
    if (note) {
      assert.match(note, /^ \(.+\)$/, 'what the page adds is a note in brackets');
      noted++;
    }
  });
  assert.ok(noted >= 3, 'the keys the page has no use for say so');
  await page.close();
});
