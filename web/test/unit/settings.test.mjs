// The page's settings through the module's shared rules: names and values in
// the address as lumhost's --set writes them, colours for the picker, and
// lumhost play's keys as the page looks them up and applies them.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { settingsFromQuery, queryWithSettings } from '../../src/settings.js';
import { RuleError } from '../../src/plugin.js';
import { newPlugin, noModule } from './wasm.mjs';

const skip = noModule;
const byName = (params) => Object.fromEntries(params.map((p) => [p.name, p]));

test('setting names become address keys as lumhost --set writes them, and --set\'s spellings resolve', { skip }, async () => {
  const plugin = await newPlugin();
  const params = byName(plugin.listParams());
  assert.equal(params['Line width'].key, 'line-width');
  assert.equal(params['Zoom factor'].key, 'zoom-factor');
  for (const name of ['line-width', 'Line width', ' LINE_WIDTH ', 'line width'])
    assert.equal(plugin.resolve(name, '3').id, params['Line width'].id, name);
  assert.throws(() => plugin.resolve('linewidth', '3'), (e) => e instanceof RuleError && /no parameter named 'linewidth'/.test(e.message));
  assert.throws(() => plugin.resolve('line-width', 'wide'), (e) => e instanceof RuleError && /^Line width: bad parameter value 'wide'/.test(e.message));
});

test('colours: #rrggbb to the plug-in\'s 0x00BBGGRR and back; values parse by type', { skip }, async () => {
  const plugin = await newPlugin();
  const { Color: color, 'Fade out': toggle, 'Line width': integer } = byName(plugin.listParams());
  assert.equal(plugin.colourFromHex('#ff0000'), 0x0000ff);
  assert.equal(plugin.colourFromHex('123456'), 0x563412);
  assert.equal(plugin.colourFromHex('#12345'), null);
  assert.equal(plugin.colourFromHex('#gg0000'), null);
  assert.equal(plugin.colourHex(0xff0000ff), '#ff0000', 'the top byte plays no part in the colour shown');
  for (const hex of ['#000000', '#ffffff', '#0a1b2c']) assert.equal(plugin.colourHex(plugin.colourFromHex(hex)), hex);
  assert.equal(plugin.parseValue('-5', integer.typeCode), -5);
  assert.equal(plugin.parseValue('0x10', integer.typeCode), 16);
  assert.equal(plugin.parseValue('2147483648', integer.typeCode), null, 'beyond 32 bits');
  assert.equal(plugin.parseValue('1.5', integer.typeCode), null);
  assert.equal(plugin.parseValue('ON', toggle.typeCode), 1);
  assert.equal(plugin.parseValue('7', toggle.typeCode), 7, 'a toggle keeps any integer, as the plug-in does');
  assert.equal(plugin.parseValue('#0000ff', color.typeCode), 0xff0000);
  assert.equal(plugin.parseValue('red', color.typeCode), null);
  // What the address writes reads back to the same bits.
  for (const [p, value] of [[color, 0x7f000001], [color, 0x80ff00], [toggle, 0], [toggle, 7], [integer, -3]])
    assert.equal(plugin.parseValue(plugin.valueText(p.typeCode, value), p.typeCode), value, `${p.name} ${value}`);
});

test('settings come from the address by the plug-in\'s names; unknown and bad entries are left alone', { skip }, async () => {
  const plugin = await newPlugin();
  const params = byName(plugin.listParams());
  const found = settingsFromQuery('?line-width=3&zoom-factor=oops&fade-out=off&speed=9&lang=de&color=%23ff0000', plugin);
  assert.deepEqual(found, [
    { id: params['Line width'].id, value: 3 },
    { id: params['Fade out'].id, value: 0 },
    { id: params.Color.id, value: 0x0000ff },
  ]);
  assert.deepEqual(settingsFromQuery('', plugin), []);
});

test('the address holds the settings that differ from their defaults, keeps other entries, and reads back', { skip }, async () => {
  const plugin = await newPlugin();
  const params = plugin.listParams();
  const changed = params.map((p) => ({ ...p }));
  const width = changed.find((p) => p.name === 'Line width'), fade = changed.find((p) => p.name === 'Fade out');
  width.value = 20;
  fade.value = 0;
  assert.equal(queryWithSettings('?lang=de&zoom-factor=40', changed, plugin), '?lang=de&line-width=20&fade-out=off');
  assert.equal(queryWithSettings('?line-width=20', params, plugin), '');
  assert.deepEqual(settingsFromQuery(queryWithSettings('', changed, plugin), plugin), [{ id: width.id, value: 20 }, { id: fade.id, value: 0 }]);
});

test('lumhost play\'s keys: the table\'s bindings, steps through the plug-in, toggles flip and colours cycle', { skip }, async () => {
  const plugin = await newPlugin();
  const params = byName(plugin.listParams());
  const zoom = params['Zoom factor'], color = params.Color, fade = params['Fade out'];
  assert.deepEqual(plugin.findKey('a'), { key: 'a', action: 'step', paramId: zoom.id, step: 1, pageNote: null });
  assert.equal(plugin.findKey('z').step, -1);
  assert.equal(plugin.findKey('x').paramId, params['Rotation speed'].id);
  assert.equal(plugin.findKey('ArrowRight').action, 'seek');
  assert.equal(plugin.findKey('ArrowUp').step, 60, 'Up seeks a minute, as in lumhost play; it zooms no more');
  assert.equal(plugin.findKey('f').action, 'fullscreen');
  assert.equal(plugin.findKey('<').action, 'previousFile', 'matched by the character typed');
  assert.match(plugin.findKey('>').pageNote, /not in the page/);
  assert.equal(plugin.findKey('A'), null);
  assert.equal(plugin.findKey('toString'), null, 'no inherited names');

  assert.equal(plugin.stepParam(zoom.id, 1), zoom.value + 1);
  plugin.setParam(zoom.id, zoom.max);
  assert.equal(plugin.stepParam(zoom.id, 1), zoom.max, 'the plug-in clamps, not the page');
  assert.equal(plugin.stepParam(fade.id, 0), fade.value === 0 ? 1 : 0);
  const first = plugin.stepParam(color.id, 0);
  assert.notEqual(first, color.value);
  const seen = [first];
  for (let v = plugin.stepParam(color.id, 0); v !== first; v = plugin.stepParam(color.id, 0)) {
    assert.ok(!seen.includes(v) && seen.length < 50, 'the colours come round again');
    seen.push(v);
  }
  assert.ok(seen.length > 2);
  assert.ok(seen.includes(color.value), 'the default colour is one of them');
  plugin.setParam(color.id, 0x123456);
  assert.ok(seen.includes(plugin.stepParam(color.id, 0)), 'a colour not among them joins the cycle');
});
