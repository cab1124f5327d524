// Puts the site together in OUT (build/web): the page's files, its modules
// bundled with mediabunny by esbuild, the WebAssembly module from WASM
// (build/wasm), and the presets installed with lumhost
// (dist/presets/gyrotrail/), built into the bundle as the module
// 'installed-presets' ({name: text}) so they work offline too. Nothing in
// the site comes from another host.
import { build } from 'esbuild';
import { cp, mkdir, readdir, readFile, rm } from 'node:fs/promises';
import { join, dirname } from 'node:path';
import { fileURLToPath } from 'node:url';

const [wasmDir, outDir] = process.argv.slice(2);
if (!wasmDir || !outDir) {
  console.error('usage: build.mjs WASM_DIR OUT_DIR');
  process.exit(2);
}
const src = join(dirname(fileURLToPath(import.meta.url)), '..', 'src');
const presetFolder = join(dirname(fileURLToPath(import.meta.url)), '..', '..', 'dist', 'presets', 'gyrotrail');

const installedPresets = {
  name: 'installed-presets',
  setup(on) {
    on.onResolve({ filter: /^installed-presets$/ }, () => ({ path: presetFolder, namespace: 'installed-presets' }));
    on.onLoad({ filter: /.*/, namespace: 'installed-presets' }, async () => {
      const presets = {};
      for (const file of (await readdir(presetFolder)).filter((f) => f.endsWith('.preset')).sort())
        presets[file.slice(0, -'.preset'.length)] = await readFile(join(presetFolder, file), 'utf8');
      return { contents: JSON.stringify(presets), loader: 'json', watchFiles: [presetFolder] };
    });
  },
};

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
  plugins: [installedPresets],
  logLevel: 'warning',
});
for (const file of ['index.html', 'style.css', 'capture-worklet.js', 'sw.js']) await cp(join(src, file), join(outDir, file));
for (const file of ['gyrotrail.mjs', 'gyrotrail.wasm']) await cp(join(wasmDir, file), join(outDir, file));
console.log(`site written to ${outDir}`);
