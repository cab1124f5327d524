// The plug-in's settings as the page keeps them: in the address (so a link
// reproduces the look) and in local storage (so a visit starts where the
// last ended). Names are the plug-in's own, written as lumhost's --set takes
// them: lower case, spaces as hyphens ("line-width=12"). Nothing here knows
// which settings exist or their ranges; that comes from the plug-in.

// "Line width" -> "line-width".
export function settingKey(name) {
  return name.trim().toLowerCase().replace(/[\s_]+/g, '-');
}

// Colour values are 0x00BBGGRR, as the plug-in takes them; pickers and
// addresses use #rrggbb.
export function colorToHex(value) {
  const v = value >>> 0;
  const r = v & 0xff, g = (v >>> 8) & 0xff, b = (v >>> 16) & 0xff;
  return '#' + [r, g, b].map((c) => c.toString(16).padStart(2, '0')).join('');
}

export function hexToColor(text) {
  const m = /^#?([0-9a-f]{6})$/i.exec(text.trim());
  if (!m) return null;
  const rgb = parseInt(m[1], 16);
  return ((rgb >>> 16) & 0xff) | (((rgb >>> 8) & 0xff) << 8) | ((rgb & 0xff) << 16);
}

// A value as written in an address or a store, read by its type
// ('integer', 'toggle', 'color'). Returns null for what does not parse.
export function parseValue(type, text) {
  const t = String(text).trim();
  if (type === 'color') {
    if (t.startsWith('#')) return hexToColor(t);
    if (/^0x[0-9a-f]{1,8}$/i.test(t)) return parseInt(t, 16) | 0;
    return null;
  }
  if (type === 'toggle') {
    if (/^(on|true|yes)$/i.test(t)) return 1;
    if (/^(off|false|no)$/i.test(t)) return 0;
  }
  if (/^[-+]?\d+$/.test(t)) {
    const n = Number(t);
    return n >= -2147483648 && n <= 2147483647 ? n : null;
  }
  if (/^0x[0-9a-f]{1,8}$/i.test(t)) return parseInt(t, 16) | 0;
  return null;
}

export function formatValue(type, value) {
  if (type === 'color') return colorToHex(value);
  if (type === 'toggle') return value ? 'on' : 'off';
  return String(value);
}

// Settings read from an address's query: [{key, value}] for the known
// settings (`params`: [{name, type}]) that parse; the rest is ignored.
export function settingsFromQuery(search, params) {
  const query = new URLSearchParams(search);
  const found = [];
  for (const p of params) {
    const text = query.get(settingKey(p.name));
    if (text === null) continue;
    const value = parseValue(p.type, text);
    if (value !== null) found.push({ id: p.id, value });
  }
  return found;
}

// The query for the settings that differ from their defaults, keeping any
// other entries of `search` as they were.
export function queryWithSettings(search, params) {
  const query = new URLSearchParams(search);
  for (const p of params) {
    const key = settingKey(p.name);
    if (p.value === p.defaultValue) query.delete(key);
    else query.set(key, formatValue(p.type, p.value));
  }
  const text = query.toString();
  return text ? '?' + text : '';
}

// lumhost play's keys, by parameter id: {id, step} moves a setting by step;
// a toggle flips and a colour goes to the next of playColors whatever the step.
// `r` restarts the run and the sound.
const keyActions = {
  ArrowUp: { id: 15, step: 1 },
  ArrowDown: { id: 15, step: -1 },
  ArrowRight: { id: 13, step: 1 },
  ArrowLeft: { id: 13, step: -1 },
  ']': { id: 12, step: 1 },
  '[': { id: 12, step: -1 },
  '.': { id: 11, step: 1 },
  ',': { id: 11, step: -1 },
  f: { id: 14, step: 0 },
  c: { id: 10, step: 0 },
  r: { restart: true },
};

export function keyAction(key) {
  return Object.hasOwn(keyActions, key) ? keyActions[key] : null;
}

// The colours `c` steps through (0x00BBGGRR), as lumhost play's.
export const playColors = [0x00ffffff, 0x0000c0ff, 0x00ffc000, 0x0040ff40, 0x00ff40c0, 0x004040ff, 0x0000ffff];

// The value a key gives a setting of `type` now at `value`.
export function keyValue(type, value, step) {
  if (type === 'toggle') return value !== 0 ? 0 : 1;
  if (type === 'color') {
    const at = playColors.indexOf(value);
    return at < 0 || at + 1 === playColors.length ? playColors[0] : playColors[at + 1];
  }
  return value + step;
}
