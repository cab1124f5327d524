// What the page's browser tests share: the checks that let them run (or
// skip with the reason), the site served by `scripts/web serve` on a free
// port of 127.0.0.1, and Debian's chromium, headless, driven by
// puppeteer-core with a fresh profile.
import assert from 'node:assert/strict';
import { spawn, spawnSync } from 'node:child_process';
import { createHash } from 'node:crypto';
import { existsSync, mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { after, before } from 'node:test';
import { fileURLToPath } from 'node:url';

export const root = resolve(process.env.GYROTRAIL_ROOT ?? join(dirname(fileURLToPath(import.meta.url)), '..', '..', '..'));
export const lumhost = process.env.LUMHOST ?? join(root, 'build', 'native', 'lumhost');
export const chromiumPath = process.env.CHROMIUM ?? '/usr/bin/chromium';
const skipCode = 77;

// Exits with the skip code, saying why, when something a test needs is missing.
export function requireOrSkip({ needLumhost = false, needFfprobe = false } = {}) {
  const missing = [];
  if (!existsSync(chromiumPath)) missing.push(`chromium (${chromiumPath}; apt-get install chromium)`);
  if (!existsSync(join(root, 'build', 'web', 'index.html'))) missing.push('the built site (scripts/web build)');
  if (!existsSync(join(root, 'web', 'node_modules', 'puppeteer-core'))) missing.push('web/node_modules (npm ci in web/)');
  if (needLumhost && !existsSync(lumhost)) missing.push(`lumhost (${lumhost}; cmake --build --preset native)`);
  if (needFfprobe && spawnSync('ffprobe', ['-version']).status !== 0) missing.push('ffprobe (apt-get install ffmpeg)');
  if (missing.length > 0) {
    console.log(`SKIPPED: missing ${missing.join(', ')}`);
    process.exit(skipCode);
  }
}

export function tempFolder() {
  const dir = mkdtempSync(join(tmpdir(), 'gyrotrail-web-'));
  process.on('exit', () => rmSync(dir, { recursive: true, force: true }));
  return dir;
}

// `scripts/web serve 0`: the site on a free port. Resolves to {url, stop}.
export function serve() {
  return new Promise((resolvePromise, reject) => {
    const child = spawn(join(root, 'scripts', 'web'), ['serve', '0'], { stdio: ['ignore', 'pipe', 'inherit'] });
    let text = '';
    child.stdout.on('data', (chunk) => {
      text += chunk;
      const m = /http:\/\/127\.0\.0\.1:(\d+)\//.exec(text);
      if (m) resolvePromise({ url: m[0], stop: () => child.kill() });
    });
    child.on('exit', (code) => reject(new Error(`scripts/web serve ended (${code}): ${text}`)));
    process.on('exit', () => child.kill());
  });
}

export async function launch(extraArgs = []) {
  const puppeteer = (await import(join(root, 'web', 'node_modules', 'puppeteer-core', 'lib', 'esm', 'puppeteer', 'puppeteer-core.js'))).default;
  const profile = tempFolder();
  return puppeteer.launch({
    executablePath: chromiumPath,
    headless: true,
    userDataDir: profile,
    args: [
      '--headless', '--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', '--autoplay-policy=no-user-gesture-required',
      ...extraArgs,
    ],
  });
}

// Opens the page (with an optional query) and waits until it has started.
// One served site and one browser for all the tests of a file, started
// before the first and stopped after the last: `session.server`, `session.browser`.
export function sharedSession() {
  const session = {};
  before(async () => {
    session.server = await serve();
    session.browser = await launch();
  });
  after(async () => {
    await session.browser?.close();
    session.server?.stop();
  });
  return session;
}

export async function openPage(browser, url, query = '') {
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(String(e)));
  await page.setViewport({ width: 1000, height: 700 });
  await page.goto(url + query);
  await page.waitForFunction(() => window.gyrotrailPage?.ready === true || !document.getElementById('message').hidden, { timeout: 30000 });
  page.errors = errors;
  return page;
}

export async function alertText(page) {
  return page.$eval('[role="alert"]', (el) => (el.hidden ? '' : el.textContent));
}

// A stereo 16-bit WAV of `seconds` at `rate`: a slow swing, different on the
// two channels, with a tone and a little noise, so the figure moves.
export function writeWav(path, { seconds = 1.5, rate = 44100, seed = 1 } = {}) {
  const frames = Math.round(seconds * rate);
  const data = Buffer.alloc(frames * 4);
  let state = seed >>> 0;
  const noise = () => ((state = (Math.imul(state, 1664525) + 1013904223) >>> 0) / 4294967296 - 0.5);
  for (let i = 0; i < frames; i++) {
    const t = i / rate;
    const left = 0.03 * Math.sin(2 * Math.PI * 0.7 * t) + 0.2 * Math.sin(2 * Math.PI * 330 * t) + 0.05 * noise();
    const right = 0.035 * Math.cos(2 * Math.PI * 1.1 * t) + 0.15 * Math.sin(2 * Math.PI * 440 * t) + 0.05 * noise();
    data.writeInt16LE(Math.max(-32768, Math.min(32767, Math.round(left * 32767))), 4 * i);
    data.writeInt16LE(Math.max(-32768, Math.min(32767, Math.round(right * 32767))), 4 * i + 2);
  }
  const header = Buffer.alloc(44);
  header.write('RIFF', 0); header.writeUInt32LE(36 + data.length, 4); header.write('WAVE', 8);
  header.write('fmt ', 12); header.writeUInt32LE(16, 16); header.writeUInt16LE(1, 20); header.writeUInt16LE(2, 22);
  header.writeUInt32LE(rate, 24); header.writeUInt32LE(rate * 4, 28); header.writeUInt16LE(4, 32); header.writeUInt16LE(16, 34);
  header.write('data', 36); header.writeUInt32LE(data.length, 40);
  writeFileSync(path, Buffer.concat([header, data]));
  return { frames, rate };
}

// Loads a file through the page's file chooser ("Open a sound file").
export async function openFile(page, path) {
  const input = await page.$('input[type=file]');
  await input.uploadFile(path);
}

// lumhost with a settings folder of its own (so no preset of the person
// running the tests is found), its run checked: {stdout, stderr, status}.
export function runLumhost(args, { expectStatus = 0, encoding = 'utf8' } = {}) {
  const config = tempFolder();
  const run = spawnSync(lumhost, args, { encoding, maxBuffer: 1 << 30, env: { ...process.env, XDG_CONFIG_HOME: config } });
  if (expectStatus !== null) assert.equal(run.status, expectStatus, `lumhost ${args.join(' ')}: ${run.stderr}`);
  return run;
}

// lumhost info's table of settings (ARGS: more options, e.g. --load-preset):
// {name: {id, type, value, range}}, in lumhost's words.
export function lumhostTable(args = []) {
  const rows = {};
  for (const line of runLumhost(['info', ...args]).stdout.split('\n')) {
    const m = /^\s+(\d+)\s+(.+?)\s{2,}(integer|toggle|colour)\s+(\S+)(?:\s+\(#[0-9A-F]+\))?\s+(\S+)\s+/.exec(line);
    if (m) rows[m[2]] = { id: Number(m[1]), type: m[3], value: m[4], range: m[5] };
  }
  return rows;
}

// SHA-256 of each raw frame `lumhost render ARGS -o -` writes at a size.
export function lumhostFrameHashes(args, width, height) {
  const run = runLumhost(['render', ...args, '-o', '-', '--size', `${width}x${height}`, '--quiet'], { encoding: 'buffer' });
  const frameBytes = width * height * 4;
  assert.equal(run.stdout.length % frameBytes, 0, 'lumhost wrote whole frames');
  const hashes = [];
  for (let at = 0; at < run.stdout.length; at += frameBytes)
    hashes.push(createHash('sha256').update(run.stdout.subarray(at, at + frameBytes)).digest('hex'));
  return hashes;
}

// Frames of the page and of lumhost are the same, and enough of them move.
export function assertSameFrames(page, native, label) {
  assert.ok(native.length > 20, `${label}: lumhost drew ${native.length} frames`);
  assert.ok(new Set(native).size > native.length / 2, `${label}: the figure moves from frame to frame`);
  assert.equal(page.length, native.length, `${label}: frame count`);
  const first = page.findIndex((h, i) => h !== native[i]);
  assert.equal(first, -1, `${label}: frame ${first} differs`);
}
