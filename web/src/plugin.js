// The plug-in in its WebAssembly module, driven as a host drives it: lumInit
// first, the settings through lumGetParamInfo/lumSetParamInfo, runs between
// lumStart and lumEnd, one lumDisplaySoundData per block. The records, the
// canvases and the blocks are the page's, allocated in the module's memory
// with its malloc; the plug-in keeps no pointer to them after a call.
// Memory may grow on any allocation, so views of it are taken afresh.
import createGyrotrail from './gyrotrail.mjs';

const infoSize = 512;       // LumPluginInfo is at least 253 bytes; room for extraInfo
const paramSize = 256;      // LumParamInfo is at least 150 bytes
const paramTypes = { 1: 'integer', 3: 'toggle', 4: 'color' };

function readText(bytes, at, width) {
  let end = at;
  while (end < at + width && bytes[end] !== 0) end++;
  return new TextDecoder('latin1').decode(bytes.subarray(at, end));
}

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

export async function loadPlugin() {
  const module = await compileModule();
  return new Plugin(await createGyrotrail({
    instantiateWasm(imports, receive) {
      WebAssembly.instantiate(module, imports).then((instance) => receive(instance, module));
      return {};
    },
  }));
}

export class Plugin {
  constructor(module) {
    this.m = module;
    this.infoRecord = this.alloc(infoSize);
    this.paramRecord = this.alloc(paramSize);
    this.m._lumInit(this.infoRecord);
    const bytes = this.m.HEAPU8, at = this.infoRecord;
    this.info = {
      version: readText(bytes, at + 8, 20),
      shortName: readText(bytes, at + 32, 20),
      longName: readText(bytes, at + 52, 50),
      vendor: readText(bytes, at + 102, 50),
      copyright: readText(bytes, at + 152, 50),
      url: readText(bytes, at + 202, 50),
    };
    this.samplesPtr = 0; this.samplesCapacity = 0;
    this.blockPtr = 0; this.blockCapacity = 0;
  }

  alloc(bytes) {
    const ptr = this.m._malloc(bytes);
    if (!ptr) throw new Error('out of memory in the plug-in module');
    this.m.HEAPU8.fill(0, ptr, ptr + bytes);
    return ptr;
  }

  // One parameter's record, or null where the plug-in answers 0.
  getParam(id) {
    const rec = this.paramRecord;
    this.m.HEAPU8.fill(0, rec, rec + paramSize);
    if (this.m._lumGetParamInfo(id >>> 0, rec) !== 1) return null;
    const bytes = this.m.HEAPU8;
    const view = new DataView(bytes.buffer);
    const code = view.getInt32(rec, true);
    return {
      id,
      type: paramTypes[code] ?? 'integer',
      name: readText(bytes, rec + 4, 52),
      value: view.getInt32(rec + 56, true),
      description: readText(bytes, rec + 110, paramSize - 110),
    };
  }

  // Sets a parameter; the value the plug-in applied (clamped), or null.
  setParam(id, value) {
    const rec = this.paramRecord;
    this.m.HEAPU8.fill(0, rec, rec + paramSize);
    new DataView(this.m.HEAPU8.buffer).setInt32(rec + 56, value | 0, true);
    if (this.m._lumSetParamInfo(id >>> 0, rec) !== 1) return null;
    const param = this.getParam(id);
    return param ? param.value : new DataView(this.m.HEAPU8.buffer).getInt32(rec + 56, true);
  }

  // Every parameter that answers (ids 0 to 255, as lumhost info asks), with
  // its default and, for integers, the range found by asking the plug-in to
  // clamp the extremes. Probing sets values, so it is done before a run.
  listParams() {
    const params = [];
    for (let id = 0; id < 256; id++) {
      const p = this.getParam(id);
      if (!p) continue;
      p.defaultValue = p.value;
      if (p.type === 'integer') {
        p.min = this.setParam(id, -2147483648);
        p.max = this.setParam(id, 2147483647);
        this.setParam(id, p.value);
      }
      params.push(p);
    }
    return params;
  }

  start() { return this.m._lumStart(); }
  end() { return this.m._lumEnd(); }

  // A LumCanvas of width x height black pixels in the module's memory.
  makeCanvas(width, height) {
    const pixels = this.alloc(width * height * 4);
    const record = this.alloc(16);
    const view = new DataView(this.m.HEAPU8.buffer);
    view.setInt32(record, width, true);
    view.setInt32(record + 4, height, true);
    view.setInt32(record + 8, width * 4, true);
    view.setUint32(record + 12, pixels, true);
    return { record, pixels, width, height, bytes: width * height * 4 };
  }

  freeCanvas(canvas) {
    if (!canvas) return;
    this.m._free(canvas.pixels);
    this.m._free(canvas.record);
  }

  clearCanvas(canvas) { this.m.HEAPU8.fill(0, canvas.pixels, canvas.pixels + canvas.bytes); }

  // The canvas's pixels as they lie in memory: bytes B, G, R, 0 (a view; copy to keep).
  canvasBytes(canvas) { return this.m.HEAPU8.subarray(canvas.pixels, canvas.pixels + canvas.bytes); }

  frameStart(frame, rate, fps) { return this.m._webFrameStart(frame, rate, fps); }
  framesFor(sampleFrames, rate, fps) { return this.m._webFramesFor(sampleFrames, rate, fps); }

  ensureScratch(samples, blockBytes) {
    if (samples * 4 > this.samplesCapacity) {
      if (this.samplesPtr) this.m._free(this.samplesPtr);
      this.samplesCapacity = Math.max(samples * 4, 65536);
      this.samplesPtr = this.alloc(this.samplesCapacity);
    }
    if (blockBytes > this.blockCapacity) {
      if (this.blockPtr) this.m._free(this.blockPtr);
      this.blockCapacity = Math.max(blockBytes, 16384);
      this.blockPtr = this.alloc(this.blockCapacity);
    }
  }

  // One frame: `count` interleaved sample frames of `channels` cut into a
  // block by lumhost's rule (planar layout) and drawn onto `canvas`.
  display(canvas, interleaved, count, channels) {
    this.ensureScratch(count * channels, count * Math.max(channels, 3));
    this.m.HEAPF32.set(interleaved.subarray(0, count * channels), this.samplesPtr >> 2);
    const length = this.m._webMakeSoundBlock(this.samplesPtr, count, channels, 0, this.blockPtr, this.blockCapacity);
    if (length < 0) throw new Error('sound block does not fit');
    return this.m._lumDisplaySoundData(canvas.record, this.blockPtr, length);
  }

  // The built-in demo signal, lumhost's, read in pieces.
  demoRate() { return this.m._webDemoRate(); }
  demoFrames() { return this.m._webDemoFrames(); }
  openDemo() { return this.m._webDemoOpen(); }
  closeDemo(demo) { this.m._webDemoClose(demo); }
  readDemo(demo, count) {
    this.ensureScratch(count * 2, 0);
    const got = this.m._webDemoRead(demo, this.samplesPtr, count);
    return this.m.HEAPF32.slice(this.samplesPtr >> 2, (this.samplesPtr >> 2) + got * 2);
  }
}
