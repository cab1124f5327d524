import { test } from 'node:test';
import assert from 'node:assert/strict';
import { SampleQueue, BlockCutter } from '../../src/blocks.js';

// lumhost's rule, as the module computes it: frame k starts at k * rate / fps.
const frameStart = (rate, fps) => (k) => Math.floor((k * rate) / fps);
const ramp = (from, count, channels = 2) => Float32Array.from({ length: count * channels }, (_, i) => from * channels + i);

test('the queue gives back samples in order across pieces of any size', () => {
  const q = new SampleQueue(2);
  q.push(ramp(0, 3));
  q.push(ramp(3, 1));
  q.push(ramp(4, 5));
  assert.equal(q.frames, 9);
  const into = new Float32Array(20);
  assert.equal(q.take(4, into), 4);
  assert.deepEqual([...into.subarray(0, 8)], [...ramp(0, 4)]);
  assert.equal(q.take(10, into), 5, 'no more than it holds');
  assert.deepEqual([...into.subarray(0, 10)], [...ramp(4, 5)]);
  assert.equal(q.frames, 0);
  assert.equal(q.take(1, into), 0);
});

test('a piece with a stray half frame keeps only whole frames', () => {
  const q = new SampleQueue(2);
  q.push(new Float32Array([1, 2, 3]));
  assert.equal(q.frames, 1);
  const into = new Float32Array(4);
  q.take(2, into);
  assert.deepEqual([...into.subarray(0, 2)], [1, 2]);
});

test('blocks follow frameStart, the fractional remainder carried, and never drift', () => {
  // 44100 Hz at 24 fps: 1837.5 sample frames a frame, so blocks of 1837 and 1838.
  const cutter = new BlockCutter(1, frameStart(44100, 24));
  const total = 44100 * 2;
  for (let at = 0; at < total; at += 1000) cutter.push(Float32Array.from({ length: Math.min(1000, total - at) }, (_, i) => at + i));
  const counts = [];
  let block, expectFirst = 0;
  while ((block = cutter.next())) {
    assert.equal(block.samples[0], expectFirst, `block ${block.frame} starts where the last ended`);
    expectFirst += block.count;
    counts.push(block.count);
  }
  assert.equal(counts.length, 48, 'two seconds at 24 fps');
  assert.deepEqual(counts.slice(0, 4), [1837, 1838, 1837, 1838]);
  assert.equal(counts.reduce((a, b) => a + b, 0), total);
});

test('a block waits for all its sound; the end lets a short one out', () => {
  const cutter = new BlockCutter(2, frameStart(48000, 60));
  cutter.push(ramp(0, 799));
  assert.equal(cutter.ready(), false);
  assert.equal(cutter.next(), null);
  cutter.push(ramp(799, 1));
  const first = cutter.next();
  assert.equal(first.count, 800);
  assert.equal(first.frame, 0);
  cutter.push(ramp(800, 300));
  assert.equal(cutter.next(), null);
  const last = cutter.next(true);
  assert.equal(last.count, 300);
  assert.equal(last.frame, 1);
  assert.equal(last.samples[0], 1600);
  assert.equal(cutter.next(true), null, 'nothing left after the end');
});
