// The page's module as the unit tests use it: the one `scripts/web build`
// (the `web` preset) makes, instantiated in Node through the page's own
// plugin.js. Each call gives a fresh instance with the plug-in's defaults.
// Without the module the tests that need it are skipped, saying why.
import { existsSync, readFileSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { instantiate } from '../../src/plugin.js';

export const root = resolve(process.env.GYROTRAIL_ROOT ?? join(dirname(fileURLToPath(import.meta.url)), '..', '..', '..'));
const wasmDir = process.env.GYROTRAIL_WASM ?? join(root, 'build', 'wasm');

// The reason to skip, or false where the module is built.
export const noModule = existsSync(join(wasmDir, 'gyrotrail.mjs')) ? false : `no module in ${wasmDir} (cmake --build --preset web)`;

let compiled = null;

export async function newPlugin() {
  const { default: createGyrotrail } = await import(join(wasmDir, 'gyrotrail.mjs'));
  compiled ??= await WebAssembly.compile(readFileSync(join(wasmDir, 'gyrotrail.wasm')));
  return instantiate(createGyrotrail, compiled);
}
