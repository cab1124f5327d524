// Puts the site together in OUT (build/web): the page's files, its modules
// bundled with mediabunny by esbuild, and the WebAssembly module from WASM
// (build/wasm). Nothing in the site comes from another host.
import { build } from 'esbuild';
import { cp, mkdir, rm } from 'node:fs/promises';
import { join, dirname } from 'node:path';
import { fileURLToPath } from 'node:url';

const [wasmDir, outDir] = process.argv.slice(2);
if (!wasmDir || !outDir) {
  console.error('usage: build.mjs WASM_DIR OUT_DIR');
  process.exit(2);
}
const src = join(dirname(fileURLToPath(import.meta.url)), '..', 'src');

await rm(outDir, { recursive: true, force: true });
await mkdir(outDir, { recursive: true });
await build({
  entryPoints: [join(src, 'main.js')],
  outfile: join(outDir, 'main.js'),
  bundle: true,
  format: 'esm',
  target: 'es2022',
  minify: true,
  sourcemap: true,
  external: ['./gyrotrail.mjs'],
  logLevel: 'warning',
});
for (const file of ['index.html', 'style.css', 'capture-worklet.js', 'sw.js']) await cp(join(src, file), join(outDir, file));
for (const file of ['gyrotrail.mjs', 'gyrotrail.wasm']) await cp(join(wasmDir, file), join(outDir, file));
console.log(`site written to ${outDir}`);
