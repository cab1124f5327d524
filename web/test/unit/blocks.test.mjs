// The shared block cutter as the page holds it: planar pieces of any size in,
// one block per video frame out, the remainder carried, the short last block
// at the end, and wider sound mixed down by the shared matrix.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { BlockCutter } from '../../src/blocks.js';
import { newPlugin, noModule } from './wasm.mjs';

const skip = noModule;

// `frames` sample frames of `channels`, plane after plane, made by `sample(i, c)`.
function planar(frames, channels, sample) {
  const data = new Float32Array(frames * channels);
  for (let c = 0; c < channels; c++) for (let i = 0; i < frames; i++) data[c * frames + i] = sample(i, c);
  return data;
}

// The planes of samples from..to of a planar piece, as a piece of their own.
function slice(data, frames, channels, from, to) {
  const out = new Float32Array((to - from) * channels);
  for (let c = 0; c < channels; c++) out.set(data.subarray(c * frames + from, c * frames + to), c * (to - from));
  return out;
}

// Every block the cutter gives for `pieces`, the short last one included.
function cutAll(cutter, pieces) {
  const blocks = [];
  for (const piece of pieces) {
    cutter.push(piece);
    let block;
    while ((block = cutter.next())) blocks.push({ ...block, bytes: cutter.block() });
  }
  const last = cutter.next(true);
  if (last) blocks.push({ ...last, bytes: cutter.block() });
  return blocks;
}

const noise = (seed) => () => ((seed = (Math.imul(seed, 1664525) + 1013904223) >>> 0) / 2 ** 32 - 0.5) * 0.9;

test('pieces of any size give the blocks one piece gives; counts follow the frame rate and never drift', { skip }, async () => {
  const plugin = await newPlugin();
  // 44100 Hz at 24 fps: 1837.5 sample frames a frame, so blocks of 1837 and 1838.
  const frames = 44100 * 2 + 300, random = noise(3);
  const sound = planar(frames, 2, () => random());
  const whole = cutAll(new BlockCutter(plugin, { rate: 44100, channels: 2, fps: 24 }), [sound]);
  const pieces = [];
  for (let at = 0, size = 1; at < frames; at += size, size = (size * 7 + 3) % 2500 + 1)
    pieces.push(slice(sound, frames, 2, at, Math.min(frames, at + size)));
  const cut = cutAll(new BlockCutter(plugin, { rate: 44100, channels: 2, fps: 24 }), pieces);
  assert.equal(cut.length, whole.length);
  for (let i = 0; i < cut.length; i++) assert.deepEqual(cut[i].bytes, whole[i].bytes, `block ${i}`);
  assert.deepEqual(cut.slice(0, 4).map((b) => b.count), [1837, 1838, 1837, 1838]);
  assert.deepEqual(cut.map((b) => b.frame), cut.map((_, i) => i));
  assert.equal(cut.reduce((sum, b) => sum + b.count, 0), frames, 'every sample frame in exactly one block');
  assert.equal(cut.at(-1).count, 300, 'the short last block');
});

test('a block is the left samples, the right samples and as many zeros; it waits for all its sound', { skip }, async () => {
  const plugin = await newPlugin();
  const cutter = new BlockCutter(plugin, { rate: 48000, channels: 2, fps: 60 });
  const level = (i, c) => (c === 0 ? 1 : -1) * ((i % 100) / 128);
  cutter.push(planar(799, 2, level));
  assert.equal(cutter.wanted(), 800);
  assert.equal(cutter.next(), null);
  cutter.push(planar(1, 2, (i, c) => level(799, c)));
  assert.deepEqual(cutter.next(), { frame: 0, count: 800 });
  const bytes = cutter.block();
  assert.equal(bytes.length, 3 * 800);
  for (const i of [0, 5, 99, 799]) {
    assert.equal(bytes[i], i % 100, `left ${i}`);
    assert.ok(bytes[800 + i] === -(i % 100), `right ${i}: ${bytes[800 + i]}`);
    assert.equal(bytes[1600 + i], 0);
  }
  const { samples, channels, count } = cutter.sound();
  assert.deepEqual([channels, count, samples.length], [2, 800, 1600]);
  assert.equal(samples[2 * 5 + 1], level(5, 1), 'the block\'s sound, interleaved');
  assert.equal(cutter.next(true), null, 'nothing left after the end');
  cutter.free();
});

test('5.1 sound is mixed down to stereo by the shared matrix: fronts as they are, the centre into both, no low frequencies', { skip }, async () => {
  const plugin = await newPlugin();
  const frames = 1600, random = noise(9);
  const signal = Array.from({ length: frames }, () => random() * 0.5);
  const blocksOf = (channels, feed) => {
    const cutter = new BlockCutter(plugin, { rate: 48000, channels, fps: 60 });
    const blocks = cutAll(cutter, [planar(frames, channels, (i, c) => (feed(c) ? signal[i] : 0))]).map((b) => b.bytes);
    cutter.free();
    return blocks;
  };
  const stereoLeft = blocksOf(2, (c) => c === 0);
  assert.deepEqual(blocksOf(6, (c) => c === 0), stereoLeft, 'front left is the left');
  const centre = blocksOf(6, (c) => c === 2);
  for (const block of centre) {
    const n = block.length / 3;
    assert.deepEqual(block.subarray(0, n), block.subarray(n, 2 * n), 'the centre goes into both sides alike');
    assert.ok(block.subarray(0, n).some((b) => b !== 0));
  }
  assert.ok(blocksOf(6, (c) => c === 3).every((block) => block.every((b) => b === 0)), 'the low frequencies are left out');
  const mixed = new BlockCutter(plugin, { rate: 48000, channels: 6, fps: 60 });
  mixed.push(planar(frames, 6, () => 0.1));
  mixed.next();
  assert.equal(mixed.sound().channels, 2, 'the block\'s sound is the stereo mix');
  mixed.free();
});

test('a restart is frame 0 again with nothing held; mono stays mono and feeds both axes', { skip }, async () => {
  const plugin = await newPlugin();
  const cutter = new BlockCutter(plugin, { rate: 8000, channels: 1, fps: 50 });
  cutter.push(planar(500, 1, (i) => (i % 60) / 128));
  assert.ok(cutter.next());
  assert.equal(cutter.frame, 1);
  cutter.restart();
  assert.equal(cutter.frame, 0);
  assert.equal(cutter.available(), 0);
  assert.equal(cutter.frameStart(3), 480);
  cutter.push(planar(160, 1, (i) => (i % 60) / 128));
  cutter.next();
  const bytes = cutter.block();
  assert.deepEqual(bytes.subarray(0, 160), bytes.subarray(160, 320));
  assert.equal(cutter.sound().channels, 1);
  cutter.free();
});
