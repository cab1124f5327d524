// The panel: the plug-in's settings as its own table describes them, and the
// presets. Every change goes through the plug-in, which may clamp, and the
// panel shows what it applied; after each change the settings are kept in
// the address and in local storage. Presets are read, checked, applied and
// written by the shared rules in the module, in the files lumhost reads.
import { settingsFromQuery, queryWithSettings } from './settings.js';

const storeKey = 'gyrotrail.settings';

export class Panel {
  // `elements`: {form, presetSelect, presetName}; `tell(line)` says what a
  // change did, `showError(message)` and `clearError()` use the page's alert.
  constructor(plugin, presets, elements, { tell, showError, clearError, storage = null }) {
    this.plugin = plugin;
    this.presets = presets;
    this.elements = elements;
    this.tell = tell;
    this.showError = showError;
    this.clearError = clearError;
    this.storage = storage;
    this.params = plugin.listParams();
    this.lastDownload = null;
  }

  // ---- settings ----

  // The address's settings win; without any, those of the last visit.
  restore(search) {
    let wanted = settingsFromQuery(search, this.plugin);
    if (wanted.length === 0) {
      try {
        wanted = settingsFromQuery(this.storage?.getItem(storeKey) || '', this.plugin);
      } catch { wanted = []; }
    }
    for (const { id, value } of wanted) this.plugin.setParam(id, value);
    this.refresh();
  }

  // Keeps the settings in the address and for the next visit.
  remember() {
    const query = queryWithSettings(location.search, this.params, this.plugin);
    history.replaceState(null, '', location.pathname + query + location.hash);
    try {
      this.storage?.setItem(storeKey, queryWithSettings('', this.params, this.plugin));
    } catch { /* storage may be off */ }
  }

  build() {
    const form = this.elements.form;
    form.replaceChildren();
    for (const p of this.params) {
      const label = document.createElement('label');
      label.htmlFor = `param-${p.id}`;
      label.textContent = p.name;
      label.title = p.description;
      const input = document.createElement('input');
      input.id = `param-${p.id}`;
      input.name = p.key;
      if (p.type === 'toggle') input.type = 'checkbox';
      else if (p.type === 'color') input.type = 'color';
      else {
        input.type = 'number';
        input.step = '1';
        if (p.min !== null) input.min = String(p.min);
        if (p.max !== null) input.max = String(p.max);
      }
      input.addEventListener('change', () => {
        const value = p.type === 'toggle' ? (input.checked ? 1 : 0)
          : p.type === 'color' ? this.plugin.colourFromHex(input.value)
            : this.plugin.parseValue(input.value, p.typeCode);
        if (value === null) this.show(p);
        else this.set(p, value);
      });
      form.append(label, input);
      this.show(p);
    }
    this.fillPresets();
  }

  show(p) {
    const input = document.getElementById(`param-${p.id}`);
    if (!input) return;
    if (p.type === 'toggle') input.checked = p.value !== 0;
    else if (p.type === 'color') input.value = this.plugin.colourHex(p.value);
    else input.value = String(p.value);
  }

  set(p, value) {
    const applied = this.plugin.setParam(p.id, value);
    if (applied === null) return;
    p.value = applied;
    this.show(p);
    this.remember();
  }

  // Every value read again from the plug-in (after a preset or random settings).
  refresh() {
    for (const p of this.params) {
      const value = this.plugin.paramValue(p.id);
      if (value !== null) p.value = value;
      this.show(p);
    }
  }

  // A setting key of the player's table: its step, through the plug-in;
  // says the value applied as lumhost play does.
  step(binding) {
    const p = this.params.find((q) => q.id === binding.paramId);
    if (!p) return;
    const applied = this.plugin.stepParam(p.id, binding.step);
    if (applied === null) return;
    p.value = applied;
    this.show(p);
    this.remember();
    this.tell(`${p.name}: ${this.plugin.formatValue(p.typeCode, applied)}`);
  }

  randomise() {
    const changes = this.plugin.randomise();
    this.refresh();
    this.remember();
    this.tell(`random settings: ${changes.join(', ')}`);
  }

  // ---- presets ----

  fillPresets(chosen = this.elements.presetSelect.value) {
    const select = this.elements.presetSelect;
    const none = document.createElement('option');
    none.value = '';
    none.textContent = '—';
    const groups = [['Yours', true], ['Installed', false]].map(([label, own]) => {
      const group = document.createElement('optgroup');
      group.label = label;
      for (const preset of this.presets.list().filter((q) => q.own === own)) {
        const option = document.createElement('option');
        option.value = option.textContent = preset.name;
        group.append(option);
      }
      return group;
    }).filter((group) => group.children.length > 0);
    select.replaceChildren(none, ...groups);
    select.value = this.presets.find(chosen) ? chosen : '';
  }

  // Applies a preset's text whole, or, if a line is bad, says which in the
  // alert and changes nothing. True if it was applied.
  applyText(text, source) {
    let notes;
    try {
      notes = this.plugin.applyPreset(text, source);
    } catch (e) {
      this.showError(e.message);
      return false;
    }
    this.clearError();
    this.refresh();
    this.remember();
    return notes;
  }

  choose(name) {
    const preset = this.presets.find(name);
    if (!preset) return;
    const notes = this.applyText(preset.text, name + this.plugin.presetSuffix);
    if (!notes) return;
    this.elements.presetSelect.value = name;
    this.tell([`preset ${name}`, ...notes].join('; '));
  }

  // The preset after the one chosen last, as `n` does.
  next() {
    const list = this.presets.list();
    if (list.length === 0) {
      this.tell('no presets (Save preset keeps one)');
      return;
    }
    const at = list.findIndex((p) => p.name === this.elements.presetSelect.value);
    this.choose(list[this.plugin.nextPreset(at < 0 ? list.length : at, list.length)].name);
  }

  // Keeps the settings as the person's preset `name`, or, without one,
  // under the first free "saved-N", as `w` does.
  save(name = '') {
    name = name.trim() || this.plugin.freePresetName('saved', this.presets.names());
    try {
      this.plugin.checkPresetName(name);
    } catch (e) {
      this.showError(e.message);
      return;
    }
    this.presets.save(name, this.plugin.presetText());
    this.fillPresets(name);
    this.tell(`saved preset ${name}`);
  }

  // A preset file opened in the page: applied, and kept among the person's
  // presets under its name.
  async open(file) {
    const text = await file.text();
    const notes = this.applyText(text, file.name);
    if (!notes) return;
    const suffix = this.plugin.presetSuffix;
    const name = file.name.endsWith(suffix) ? file.name.slice(0, -suffix.length) : file.name;
    try {
      this.plugin.checkPresetName(name);
      this.presets.save(name, text);
      this.fillPresets(name);
    } catch { /* applied, but not a name to keep it under */ }
    this.tell([`preset ${file.name}`, ...notes].join('; '));
  }

  // The settings as a preset file to download, named after the name given,
  // or the preset chosen.
  download() {
    const name = this.elements.presetName.value.trim() || this.elements.presetSelect.value || 'gyrotrail';
    const text = this.plugin.presetText();
    const fileName = name + this.plugin.presetSuffix;
    this.lastDownload = { name: fileName, text };
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([text], { type: 'text/plain' }));
    link.download = fileName;
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(link.href), 60000);
  }
}
