// bench/web's measurements; see bench/web.
import { spawn, spawnSync } from 'node:child_process';
import { readFileSync, readdirSync, statSync } from 'node:fs';
import { join } from 'node:path';
import { serve, launch, openPage, openFile, tempFolder, root, lumhost, alertText } from '../web/test/browser/harness.mjs';

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
const mb = (kb) => (kb / 1024).toFixed(0);
console.log(`load: ${readFileSync('/proc/loadavg', 'utf8').trim()}`);

// ---- one frame, WebAssembly against native ----
// bench_frame's repetitions (each the mean of many frames), in microseconds.
function nativeFrames() {
  const run = spawnSync(join(root, 'build/bench/bench_frame'), ['--benchmark_filter=^BM_Frame(Default|Worst)$',
    '--benchmark_repetitions=5', '--benchmark_format=json'], { encoding: 'utf8' });
  const out = JSON.parse(run.stdout);
  const pick = (name) => out.benchmarks.filter((b) => b.run_name === name && b.run_type === 'iteration').map((b) => b.real_time);
  return { default: pick('BM_FrameDefault'), worst: pick('BM_FrameWorst') };
}

function staticServer(dir) {
  return new Promise((resolve) => {
    const child = spawn('node', [join(root, 'web/tools/serve.mjs'), dir, '0'], { stdio: ['ignore', 'pipe', 'inherit'] });
    child.stdout.on('data', (d) => {
      const m = /http:\/\/127\.0\.0\.1:\d+\//.exec(String(d));
      if (m) resolve({ url: m[0], stop: () => child.kill() });
    });
  });
}

const browser = await launch();
{
  const wasmServer = await staticServer(join(root, 'build/wasm'));
  const page = await browser.newPage();
  await page.goto(wasmServer.url + 'none');
  const wasm = await page.evaluate(async () => {
    const bench = await (await import('/bench_frame_wasm.mjs')).default();
    const runs = (worst, frames) => Array.from({ length: 5 }, () => bench._benchFrameMicroseconds(worst, frames));
    return { default: runs(0, 4000), worst: runs(1, 600) };
  });
  const native = nativeFrames();
  // Under load the fastest run is the best estimate of the frame's own cost;
  // the median is given beside it.
  const list = (values) => values.map((v) => v.toFixed(1)).join(', ');
  for (const scene of ['default', 'worst']) {
    const w = wasm[scene], n = native[scene];
    console.log(`frame ${scene}: wasm median ${median(w).toFixed(2)} us, fastest ${Math.min(...w).toFixed(2)} us (${list(w)}); ` +
      `native bench_frame median ${median(n).toFixed(2)} us, fastest ${Math.min(...n).toFixed(2)} us (${list(n)}); ` +
      `ratio ${(median(w) / median(n)).toFixed(2)}x by medians, ${(Math.min(...w) / Math.min(...n)).toFixed(2)}x by fastest`);
  }
  await page.close();
  wasmServer.stop();
}

// ---- the tab's memory with a one-hour file ----
// Memory of the browser's renderer processes (the tab's, and the worklets
// and workers it runs): their proportional set size (shared pages split
// between the processes that map them), in kB.
function rendererKb() {
  const parent = new Map();
  const renderer = new Set();
  const rss = new Map();
  for (const pid of readdirSync('/proc').filter((p) => /^\d+$/.test(p))) {
    try {
      const stat = readFileSync(`/proc/${pid}/stat`, 'utf8');
      parent.set(pid, stat.slice(stat.lastIndexOf(')') + 2).split(' ')[1]);
      if (readFileSync(`/proc/${pid}/cmdline`, 'utf8').includes('--type=renderer')) renderer.add(pid);
      const m = /Pss:\s+(\d+)/.exec(readFileSync(`/proc/${pid}/smaps_rollup`, 'utf8'));
      if (m) rss.set(pid, Number(m[1]));
    } catch { /* gone */ }
  }
  const top = String(browser.process().pid);
  const descends = (pid) => { for (let p = pid; p && p !== '1' && p !== '0'; p = parent.get(p)) if (p === top) return true; return false; };
  let total = 0;
  for (const pid of renderer) if (descends(pid)) total += rss.get(pid) ?? 0;
  return total;
}

async function peakWhile(seconds, during = async () => {}) {
  let peak = 0;
  const end = Date.now() + seconds * 1000;
  const work = during();
  while (Date.now() < end) { peak = Math.max(peak, rendererKb()); await sleep(250); }
  await work;
  return peak;
}

const server = await serve();
{
  const dir = tempFolder();
  const hour = join(dir, 'hour.flac');
  const made = spawnSync('ffmpeg', ['-v', 'error', '-f', 'lavfi', '-i', 'sine=f=220:r=44100:d=3600', '-f', 'lavfi', '-i', 'sine=f=0.3:r=44100:d=3600',
    '-filter_complex', '[0][1]amerge=inputs=2,volume=0.3', '-c:a', 'flac', '-y', hour]);
  if (made.status !== 0) throw new Error(`ffmpeg: ${made.stderr}`);
  console.log(`one-hour file: ${(statSync(hour).size / 1048576).toFixed(0)} MB FLAC, 44.1 kHz stereo`);
  const page = await openPage(browser, server.url);
  const idle = rendererKb();
  await openFile(page, hour);
  await page.waitForFunction(() => window.gyrotrailPage.playing(), { timeout: 60000 });
  const playing = await peakWhile(20);
  await page.$eval('#position', (p) => { p.value = '3540'; p.dispatchEvent(new Event('change')); });
  const playingLate = await peakWhile(10);
  console.log(`memory: tab idle ${mb(idle)} MB; playing the hour: peak ${mb(playing)} MB over 20 s from the start, ${mb(playingLate)} MB over 10 s after a seek to 59:00`);
  await page.locator('::-p-aria([name="Pause"][role="button"])').click();
  await page.locator('::-p-aria(Size)').fill('1280x720');
  await page.waitForFunction(() => !document.getElementById('save').disabled);
  await page.locator('::-p-aria([name="Save video"][role="button"])').click();
  const exporting = await peakWhile(60);
  const progress = await page.$eval('#export-status', (e) => e.textContent);
  await page.locator('::-p-aria([name="Cancel"][role="button"])').click();
  console.log(`memory: saving the hour at 1280x720, 60 fps: peak ${mb(exporting)} MB over the first 60 s (${progress}), then cancelled`);
  await page.close();
}

// ---- Save video of the 20 s demo against lumhost ----
{
  const page = await openPage(browser, server.url);
  await page.locator('::-p-aria([name="Demo"][role="button"])').click();
  await page.locator('::-p-aria([name="Pause"][role="button"])').click();
  await page.locator('::-p-aria(Size)').fill('1280x720');
  await page.waitForFunction(() => !document.getElementById('save').disabled);
  const times = [];
  for (let i = 0; i < 3; i++) {
    await page.locator('::-p-aria([name="Save video"][role="button"])').click();
    await page.waitForFunction(() => window.gyrotrailPage.lastExport || !document.getElementById('message').hidden, { timeout: 300000 });
    if (await alertText(page)) throw new Error(await alertText(page));
    const { seconds, size } = await page.evaluate(() => {
      const e = window.gyrotrailPage.lastExport;
      window.gyrotrailPage.lastExport = null;
      return { seconds: e.seconds, size: e.blob.size };
    });
    times.push(seconds);
    console.log(`  page export run ${i + 1}: ${seconds.toFixed(2)} s, ${(size / 1048576).toFixed(1)} MB`);
  }
  const lumhostTimes = [];
  const out = join(tempFolder(), 'demo.mp4');
  for (let i = 0; i < 3; i++) {
    const start = process.hrtime.bigint();
    const run = spawnSync(lumhost, ['render', '-o', out, '--size', '1280x720', '--fps', '60', '--quiet']);
    if (run.status !== 0) throw new Error(String(run.stderr));
    lumhostTimes.push(Number(process.hrtime.bigint() - start) / 1e9);
  }
  const p = median(times), l = median(lumhostTimes);
  console.log(`save video, 20 s demo, 1280x720, 60 fps: page (H.264 + Opus) ${p.toFixed(2)} s (${(20 / p).toFixed(1)}x real time); lumhost .mp4 (H.264 + AAC) ${l.toFixed(2)} s (${(20 / l).toFixed(1)}x); page/lumhost ${(p / l).toFixed(2)}`);
  await page.close();
}
await browser.close();
server.stop();
