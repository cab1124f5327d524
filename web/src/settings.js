// The plug-in's settings as the page keeps them: in the address (so a link
// reproduces the look) and in local storage (so a visit starts where the
// last ended), as lumhost's --set writes them ("?line-width=12&color=%23FF8000").
// Names are matched and values parsed and written by the shared rules in
// the module (`plugin`); nothing here knows which settings exist.

// The settings an address's query names, in its order, as [{id, value}]:
// each entry resolved as --set NAME=VALUE would be; entries that name no
// setting or do not parse are left alone (they may be another page's).
export function settingsFromQuery(search, plugin) {
  const found = [];
  for (const [name, text] of new URLSearchParams(search)) {
    try {
      const { id, value } = plugin.resolve(name, text);
      found.push({ id, value });
    } catch { /* not a setting of this plug-in */ }
  }
  return found;
}

// The query with the settings that differ from their defaults, each under
// its key (`params` as Plugin.listParams gives them); other entries of
// `search` are kept as they were.
export function queryWithSettings(search, params, plugin) {
  const query = new URLSearchParams(search);
  for (const p of params) {
    if (p.value === p.defaultValue) query.delete(p.key);
    else query.set(p.key, plugin.valueText(p.typeCode, p.value));
  }
  const text = query.toString();
  return text ? '?' + text : '';
}
