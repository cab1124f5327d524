import { test } from 'node:test';
import assert from 'node:assert/strict';
import {
  settingKey, colorToHex, hexToColor, parseValue, formatValue, settingsFromQuery, queryWithSettings,
  keyAction, keyValue, playColors,
} from '../../src/settings.js';

const params = [
  { id: 10, name: 'Color', type: 'color', value: 0xffffff, defaultValue: 0xffffff },
  { id: 11, name: 'Line width', type: 'integer', value: 10, defaultValue: 10 },
  { id: 14, name: 'Fade out', type: 'toggle', value: 1, defaultValue: 1 },
  { id: 15, name: 'Zoom factor', type: 'integer', value: 90, defaultValue: 90 },
];

test('setting names become address keys as lumhost --set writes them', () => {
  assert.equal(settingKey('Line width'), 'line-width');
  assert.equal(settingKey(' Zoom  factor '), 'zoom-factor');
  assert.equal(settingKey('fade_out'), 'fade-out');
});

test('colours: #rrggbb to the plug-in\'s 0x00BBGGRR and back', () => {
  assert.equal(hexToColor('#ff0000'), 0x0000ff);
  assert.equal(hexToColor('#00ff80'), 0x80ff00);
  assert.equal(hexToColor('123456'), 0x563412);
  assert.equal(hexToColor('#12345'), null);
  assert.equal(hexToColor('#gg0000'), null);
  assert.equal(colorToHex(0x80ff00), '#00ff80');
  // the top byte plays no part in the colour shown
  assert.equal(colorToHex(0xff0000ff), '#ff0000');
  for (const hex of ['#000000', '#ffffff', '#0a1b2c']) assert.equal(colorToHex(hexToColor(hex)), hex);
});

test('values parse by type; what does not parse is null', () => {
  assert.equal(parseValue('integer', '12'), 12);
  assert.equal(parseValue('integer', '-5'), -5);
  assert.equal(parseValue('integer', '0x10'), 16);
  assert.equal(parseValue('integer', '2147483648'), null, 'beyond 32 bits');
  assert.equal(parseValue('integer', '1.5'), null);
  assert.equal(parseValue('integer', 'wide'), null);
  assert.equal(parseValue('toggle', 'off'), 0);
  assert.equal(parseValue('toggle', 'ON'), 1);
  assert.equal(parseValue('toggle', '7'), 7, 'a toggle keeps any integer, as the plug-in does');
  assert.equal(parseValue('color', '#0000ff'), 0xff0000);
  assert.equal(parseValue('color', '0x00123456'), 0x123456);
  assert.equal(parseValue('color', 'red'), null);
  assert.equal(formatValue('toggle', 0), 'off');
  assert.equal(formatValue('color', 0xff0000), '#0000ff');
});

test('settings come from the address by the plug-in\'s names, unknown and bad entries ignored', () => {
  const found = settingsFromQuery('?line-width=3&zoom-factor=oops&fade-out=off&speed=9&color=%23ff0000', params);
  assert.deepEqual(found, [
    { id: 10, value: 0x0000ff },
    { id: 11, value: 3 },
    { id: 14, value: 0 },
  ]);
  assert.deepEqual(settingsFromQuery('', params), []);
});

test('the address holds the settings that differ from their defaults, and keeps other entries', () => {
  const changed = params.map((p) => ({ ...p }));
  changed[1].value = 20;
  changed[2].value = 0;
  assert.equal(queryWithSettings('?lang=de&zoom-factor=40', changed), '?lang=de&line-width=20&fade-out=off');
  assert.equal(queryWithSettings('?line-width=20', params), '');
  // what the address holds reads back as the same settings
  const back = settingsFromQuery(queryWithSettings('', changed), changed);
  assert.deepEqual(back, [{ id: 11, value: 20 }, { id: 14, value: 0 }]);
});

test('lumhost play\'s keys', () => {
  assert.deepEqual(keyAction('ArrowUp'), { id: 15, step: 1 });
  assert.deepEqual(keyAction(','), { id: 11, step: -1 });
  assert.deepEqual(keyAction('r'), { restart: true });
  assert.equal(keyAction('x'), null);
  assert.equal(keyAction('toString'), null, 'no inherited names');
  assert.equal(keyValue('integer', 90, 1), 91, 'the plug-in clamps, not the page');
  assert.equal(keyValue('toggle', 7, 0), 0);
  assert.equal(keyValue('toggle', 0, 0), 1);
  assert.equal(keyValue('color', playColors[0], 0), playColors[1]);
  assert.equal(keyValue('color', playColors.at(-1), 0), playColors[0], 'wraps round');
  assert.equal(keyValue('color', 0x123456, 0), playColors[0], 'a colour not in the list starts it');
});
