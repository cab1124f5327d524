// The plug-in in its WebAssembly module, driven as a host drives it: lumInit
// first, the settings through lumGetParamInfo/lumSetParamInfo, runs between
// lumStart and lumEnd, one lumDisplaySoundData per block. The module also
// holds the host's rules (the shared rules library): the plug-in's records
// are read there, values are parsed and written there, presets and the
// player's keys are kept there, so this file only carries calls and text
// across. Texts go in as UTF-8 in the module's memory and come back the same
// way, lists as JSON. Memory may grow on any allocation, so views of it are
// taken afresh.

// What a rule refuses: a bad value, an unknown setting, a bad preset line
// ("bold.preset:3: ..."). The message is the rules' own.
export class RuleError extends Error {}

const encoder = new TextEncoder();
const decoder = new TextDecoder();

// The module is fetched and compiled once; each instance (the one on screen,
// one per export) gets its own memory and plug-in state from it, with no
// further download.
let compiled = null;

function compileModule() {
  const url = new URL('./gyrotrail.wasm', import.meta.url);
  compiled ??= WebAssembly.compileStreaming(fetch(url))
    .catch(async () => WebAssembly.compile(await (await fetch(url)).arrayBuffer()));
  return compiled;
}

// An instance of a compiled module made by the factory `createGyrotrail`.
export async function instantiate(createGyrotrail, module) {
  return new Plugin(await createGyrotrail({
    instantiateWasm(imports, receive) {
      WebAssembly.instantiate(module, imports).then((instance) => receive(instance, module));
      return {};
    },
  }));
}

export async function loadPlugin() {
  const { default: createGyrotrail } = await import('./gyrotrail.mjs');
  return instantiate(createGyrotrail, await compileModule());
}

export class Plugin {
  constructor(module) {
    this.m = module;
    this.info = JSON.parse(this.text(this.m._webInit()));
    // The canvas and frame rate every front end uses unless told otherwise.
    this.defaults = JSON.parse(this.text(this.m._webDefaults()));
  }

  alloc(bytes) {
    const ptr = this.m._malloc(bytes);
    if (!ptr) throw new Error('out of memory in the plug-in module');
    this.m.HEAPU8.fill(0, ptr, ptr + bytes);
    return ptr;
  }

  // ---- text across the boundary ----

  // The NUL-terminated text at `ptr`; a null pointer is the failed call's RuleError.
  text(ptr) {
    if (!ptr) throw new RuleError(this.text(this.m._webLastError()) || 'the module refused');
    const bytes = this.m.HEAPU8;
    const end = bytes.indexOf(0, ptr);
    return decoder.decode(bytes.subarray(ptr, end));
  }

  json(ptr) { return JSON.parse(this.text(ptr)); }

  // Calls `call` with each of `texts` as a NUL-terminated UTF-8 string in
  // the module's memory, freed afterwards.
  withTexts(texts, call) {
    const ptrs = texts.map((t) => {
      const bytes = encoder.encode(String(t));
      const ptr = this.alloc(bytes.length + 1);
      this.m.HEAPU8.set(bytes, ptr);
      return ptr;
    });
    try {
      return call(...ptrs);
    } finally {
      for (const ptr of ptrs) this.m._free(ptr);
    }
  }

  // ---- settings ----

  // Every setting the plug-in describes (ids 0 to 255, as lumhost info asks):
  // {id, type: 'integer'|'toggle'|'color', typeCode, name, key (the address's
  // and --set's name), value, defaultValue, description, min, max (the range
  // the plug-in clamps to; null where it takes any value)}. Finding the
  // ranges sets values, so it is done before a run.
  listParams() {
    return this.json(this.m._webParams()).map((p) => ({ ...p, defaultValue: p.value }));
  }

  // A setting's value now, or null if the plug-in does not describe it.
  paramValue(id) {
    const value = this.m._webParamValue(id >>> 0);
    return Number.isNaN(value) ? null : value;
  }

  // Sets a value; the value the plug-in applied (clamped), or null.
  setParam(id, value) {
    const applied = this.m._webSetParam(id >>> 0, value | 0);
    return Number.isNaN(applied) ? null : applied;
  }

  // A step key's change (see the key table): the value applied, or null.
  stepParam(id, step) {
    const applied = this.m._webStepParam(id >>> 0, step | 0);
    return Number.isNaN(applied) ? null : applied;
  }

  // ---- values as text (type codes as the plug-in reports them) ----

  parseValue(text, typeCode) {
    const value = this.withTexts([text], (t) => this.m._webParseValue(t, typeCode));
    return Number.isNaN(value) ? null : value;
  }

  formatValue(typeCode, value) { return this.text(this.m._webFormatValue(typeCode, value | 0)); }
  valueText(typeCode, value) { return this.text(this.m._webValueText(typeCode, value | 0)); }
  colourHex(value) { return this.text(this.m._webColourHex(value | 0)); }

  colourFromHex(text) {
    const value = this.withTexts([text], (t) => this.m._webColourFromHex(t));
    return Number.isNaN(value) ? null : value;
  }

  // NAME=VALUE as --set takes it, checked against the plug-in but not
  // applied: {id, type, typeCode, label, value}; RuleError if it is wrong.
  resolve(name, value) {
    return this.withTexts([name, value], (n, v) => this.json(this.m._webResolve(n, v)));
  }

  // ---- presets ----

  // Checks the whole preset, then applies it: the notes for clamped values.
  // RuleError "SOURCE:LINE: ..." for the first bad line, with nothing changed.
  applyPreset(text, source) {
    return this.withTexts([text, source], (t, s) => this.json(this.m._webApplyPreset(t, s)));
  }

  checkPreset(text, source) {
    return this.withTexts([text, source], (t, s) => this.json(this.m._webCheckPreset(t, s)));
  }

  presetText() { return this.text(this.m._webPresetText()); }

  // ".preset", the extension of a preset's file.
  get presetSuffix() { return this.text(this.m._webPresetSuffix()); }

  checkPresetName(name) { this.withTexts([name], (n) => this.text(this.m._webCheckPresetName(n))); }

  freePresetName(stem, taken) {
    return this.withTexts([stem, taken.join('\n')], (s, t) => this.text(this.m._webFreePresetName(s, t)));
  }

  nextPreset(last, count) { return this.m._webNextPreset(last, count); }

  // Random settings within what the plug-in accepts: "Name: value" for each.
  randomise(seed = crypto.getRandomValues(new Uint32Array(1))[0]) {
    return this.json(this.m._webRandomise(seed >>> 0));
  }

  // ---- the player's keys ----

  // The binding of a KeyboardEvent.key: {key, action, paramId, step,
  // pageNote}, matched by the key's name, else as a character typed; null
  // for a key the table does not have.
  findKey(name) {
    return this.withTexts([name], (n) => this.json(this.m._webFindKey(n, 0)) ?? this.json(this.m._webFindKey(n, 1)));
  }

  pageKeyHelp() { return this.json(this.m._webPageKeyHelp()); }

  // ---- runs and canvases ----

  start() { return this.m._lumStart(); }
  end() { return this.m._lumEnd(); }

  // A LumCanvas of width x height black pixels, made in the module's memory.
  makeCanvas(width, height) {
    const record = this.m._webCanvasNew(width, height);
    if (!record) throw new Error(`no canvas of ${width}x${height} in the plug-in module`);
    const pixels = this.m._webCanvasPixels(record);
    return { record, pixels, width, height, bytes: width * height * 4 };
  }

  freeCanvas(canvas) {
    if (canvas) this.m._webCanvasFree(canvas.record);
  }

  clearCanvas(canvas) { this.m.HEAPU8.fill(0, canvas.pixels, canvas.pixels + canvas.bytes); }

  // The canvas's pixels as they lie in memory: bytes B, G, R, 0 (a view; copy to keep).
  canvasBytes(canvas) { return this.m.HEAPU8.subarray(canvas.pixels, canvas.pixels + canvas.bytes); }

  // One frame from a block in the module's memory.
  display(canvas, block, length) { return this.m._lumDisplaySoundData(canvas.record, block, length); }

  framesFor(sampleFrames, rate, fps) { return this.m._webFramesFor(sampleFrames, rate, fps); }

  // ---- the built-in demo signal, lumhost's, read in pieces ----

  demoRate() { return this.m._webDemoRate(); }
  demoFrames() { return this.m._webDemoFrames(); }
  openDemo() { return this.m._webDemoOpen(); }
  closeDemo(demo) { this.m._webDemoClose(demo); }

  // Up to `count` stereo sample frames, the left plane then the right.
  readDemo(demo, count) {
    if (!this.demoBuffer || this.demoCount < count) {
      if (this.demoBuffer) this.m._free(this.demoBuffer);
      this.demoBuffer = this.alloc(count * 8);
      this.demoCount = count;
    }
    const got = this.m._webDemoRead(demo, this.demoBuffer, count);
    return this.m.HEAPF32.slice(this.demoBuffer >> 2, (this.demoBuffer >> 2) + got * 2);
  }
}
