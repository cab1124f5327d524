// The presets the page offers: those installed with the site (lumhost's own
// files, built in) and the person's, kept in local storage as the same text
// lumhost reads. As lumhost looks in the person's folder before the
// installed one, a person's preset hides an installed one of its name; each
// group is in name order, so `n` steps through them as lumhost play does.
// The text is read and checked by the shared rules, not here.
const storeKey = 'gyrotrail.presets';

export class PresetStore {
  // `installed`: {name: text}; `storage`: localStorage, or anything with
  // getItem/setItem (null: the person's presets last for the visit only).
  constructor(installed, storage) {
    this.installed = installed;
    this.storage = storage;
    this.own = {};
    try {
      const kept = JSON.parse(storage?.getItem(storeKey) ?? '{}');
      if (kept && typeof kept === 'object') for (const [name, text] of Object.entries(kept)) if (typeof text === 'string') this.own[name] = text;
    } catch { /* storage off or spoilt: start without */ }
  }

  // [{name, text, own}] in the order `n` takes them.
  list() {
    const byName = (a, b) => (a < b ? -1 : a > b ? 1 : 0);
    const own = Object.keys(this.own).sort(byName).map((name) => ({ name, text: this.own[name], own: true }));
    const installed = Object.keys(this.installed).filter((name) => !Object.hasOwn(this.own, name)).sort(byName)
      .map((name) => ({ name, text: this.installed[name], own: false }));
    return [...own, ...installed];
  }

  names() { return this.list().map((p) => p.name); }

  find(name) { return this.list().find((p) => p.name === name) ?? null; }

  // Keeps `text` as the person's preset `name` (replacing one of that name).
  save(name, text) {
    this.own[name] = text;
    try {
      this.storage?.setItem(storeKey, JSON.stringify(this.own));
    } catch { /* storage full or off: kept for this visit */ }
  }
}
