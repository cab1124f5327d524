import { test } from 'node:test';
import assert from 'node:assert/strict';
import { formatTime, parseSize, timeLeft, videoName } from '../../src/format.js';

test('times', () => {
  assert.equal(formatTime(0), '0:00');
  assert.equal(formatTime(83.9), '1:23');
  assert.equal(formatTime(3725), '1:02:05');
  assert.equal(formatTime(NaN), '0:00');
  assert.equal(formatTime(-4), '0:00');
});

test('sizes', () => {
  assert.deepEqual(parseSize('1280x720'), { width: 1280, height: 720 });
  assert.deepEqual(parseSize(' 641 X 361 '), { width: 641, height: 361 });
  assert.equal(parseSize('1280'), null);
  assert.equal(parseSize('0x720'), null);
  assert.equal(parseSize('99999x720'), null);
  assert.equal(parseSize('-5x5'), null);
});

test('time left grows from the share done', () => {
  assert.equal(timeLeft(0, 100, 5), null);
  assert.equal(timeLeft(10, 100, 0.1), null, 'too early to tell');
  assert.equal(timeLeft(25, 100, 2), 6);
  assert.equal(timeLeft(100, 100, 9), 0);
  assert.equal(timeLeft(5, 0, 3), null);
});

test('video names come from the sound\'s', () => {
  assert.equal(videoName('song.flac', 'mp4'), 'song-gyrotrail.mp4');
  assert.equal(videoName('my.live.set.ogg', 'webm'), 'my.live.set-gyrotrail.webm');
  assert.equal(videoName('', 'mp4'), 'gyrotrail-gyrotrail.mp4');
  assert.equal(videoName('a:b?.wav', 'mp4'), 'a_b_-gyrotrail.mp4');
});
