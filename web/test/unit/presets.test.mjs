// Presets in the page: the store of installed and own presets in lumhost's
// order, and preset text read, checked, applied and written by the shared
// rules in the module, so a file moves between the page and lumhost.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readdirSync, readFileSync } from 'node:fs';
import { join } from 'node:path';
import { PresetStore } from '../../src/presets.js';
import { RuleError } from '../../src/plugin.js';
import { newPlugin, noModule, root } from './wasm.mjs';

const skip = noModule;

// localStorage's two calls over a Map, or failing as a full or turned-off store does.
function memoryStorage({ failWrites = false } = {}) {
  const map = new Map();
  return {
    map,
    getItem: (key) => (map.has(key) ? map.get(key) : null),
    setItem: (key, value) => {
      if (failWrites) throw new Error('QuotaExceededError');
      map.set(key, String(value));
    },
  };
}

test('the person\'s presets come first and hide installed ones of their name, each group in name order, and are kept', () => {
  const storage = memoryStorage();
  const store = new PresetStore({ 'long-trail': 'a=1', bold: 'b=2' }, storage);
  assert.deepEqual(store.names(), ['bold', 'long-trail']);
  store.save('zz', 'z=1');
  store.save('bold', 'mine=1');
  assert.deepEqual(store.list().map((p) => [p.name, p.own]), [['bold', true], ['zz', true], ['long-trail', false]]);
  assert.equal(store.find('bold').text, 'mine=1');
  assert.equal(store.find('nothing'), null);
  const again = new PresetStore({ bold: 'b=2' }, storage);
  assert.equal(again.find('zz').text, 'z=1', 'kept for the next visit');
});

test('a spoilt or failing store costs nothing but the keeping', () => {
  const spoilt = memoryStorage();
  spoilt.map.set('gyrotrail.presets', '{not json');
  assert.deepEqual(new PresetStore({ bold: 'x' }, spoilt).names(), ['bold']);
  const full = new PresetStore({}, memoryStorage({ failWrites: true }));
  full.save('mine', 'a=1');
  assert.equal(full.find('mine').text, 'a=1', 'kept for this visit');
  const none = new PresetStore({ bold: 'x' }, null);
  none.save('mine', 'a=1');
  assert.deepEqual(none.names(), ['mine', 'bold']);
});

test('the installed presets are lumhost\'s files and every line of them applies', { skip }, async () => {
  const plugin = await newPlugin();
  const folder = join(root, 'dist', 'presets', 'gyrotrail');
  const files = readdirSync(folder).filter((f) => f.endsWith(plugin.presetSuffix));
  assert.ok(files.length >= 2);
  for (const file of files) {
    const text = readFileSync(join(folder, file), 'utf8');
    const settings = plugin.checkPreset(text, file);
    assert.ok(settings.length > 0, file);
    assert.deepEqual(plugin.applyPreset(text, file), [], `${file}: nothing clamped`);
    for (const { id, value } of settings) assert.equal(plugin.paramValue(id), value, `${file}: ${id}`);
  }
});

test('a bad preset names its file and line and changes nothing; the settings written read back to the same', { skip }, async () => {
  const plugin = await newPlugin();
  const before = plugin.presetText();
  assert.throws(() => plugin.applyPreset('zoom factor=3\n# fine so far\nline width=oops\n', 'mine.preset'),
    (e) => e instanceof RuleError && /^mine\.preset:3: Line width: bad parameter value 'oops'/.test(e.message));
  assert.throws(() => plugin.applyPreset('zoom factor 3\n', 'x.preset'), (e) => /^x\.preset:1: expected NAME=VALUE/.test(e.message));
  assert.equal(plugin.presetText(), before, 'nothing applied');

  assert.deepEqual(plugin.applyPreset('line width=80\ncolor=#20C0FF\nfade out=off\n', 'wide.preset'),
    ['Line width: 80 is out of range, applied 50']);
  plugin.randomise(12345);
  const text = plugin.presetText();
  const other = await newPlugin();
  assert.deepEqual(other.applyPreset(text, 'saved.preset'), []);
  assert.equal(other.presetText(), text);
  assert.deepEqual(other.listParams().map((p) => p.value), plugin.listParams().map((p) => p.value));
});

test('preset names and the order of `n`', { skip }, async () => {
  const plugin = await newPlugin();
  assert.equal(plugin.freePresetName('saved', ['bold', 'saved-1', 'saved-2']), 'saved-3');
  assert.equal(plugin.freePresetName('saved', []), 'saved-1');
  for (const bad of ['', '.hidden', 'a/b', 'a\\b'])
    assert.throws(() => plugin.checkPresetName(bad), RuleError, JSON.stringify(bad));
  plugin.checkPresetName('my wide one');
  assert.equal(plugin.nextPreset(3, 3), 0, 'none chosen yet: the first');
  assert.equal(plugin.nextPreset(0, 3), 1);
  assert.equal(plugin.nextPreset(2, 3), 0, 'after the last, the first');
});
