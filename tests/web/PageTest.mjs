// The page of web/ in a real browser (Debian's chromium, headless, WebGL on
// SwiftShader), driven by puppeteer-core, on a room Blender exported
// (tests/fixtures/room.glb) and solved by Glowbake:
//
//   - it loads the --gltf-lightmap file without a console error;
//   - drawn with every material as a Lambertian surface of its mean albedo,
//     its picture from a fixed camera matches that of the --gltf export (the
//     solution as Glowbake pictures it, unlit) region by region within 10 %;
//   - drawn normally, the floor shows its checker texture.
//
//   node PageTest.mjs GLOWBAKE HEMICUBE_FILE
//
// GLOWBAKE_PAGE_SHOTS=FOLDER keeps the three pictures there, as PNG files.
import { execFileSync } from 'node:child_process';
import { createRequire } from 'node:module';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const source = path.resolve(here, '..', '..');
const webDir = path.join(source, 'web');
const require = createRequire(path.join(webDir, 'package.json'));
const puppeteer = require('puppeteer-core');
const { startServer } = await import(path.join(webDir, 'serve.js'));

const [glowbake, hemicube] = process.argv.slice(2).map((p) => path.resolve(p));
if (!glowbake || !hemicube) {
  console.error('usage: PageTest.mjs GLOWBAKE HEMICUBE_FILE');
  process.exit(2);
}

const failures = [];
function check(ok, message) {
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${message}`);
  if (!ok) failures.push(message);
}

const WIDTH = 320;
const HEIGHT = 240;
// Inside the room, by the front wall, looking down at the block, the ball
// and the floor (glTF's +Y up, as Blender exports).
const CAMERA = '&eye=0.3,1.7,1.9&target=-0.1,0.4,-0.6&fov=70';

// Luminance-weighted grey of a pixel, 0..255 (sRGB bytes).
const grey = (p, i) => 0.2126 * p[i] + 0.7152 * p[i + 1] + 0.0722 * p[i + 2];

// The mean grey of each of columns x rows regions.
function regionMeans(pixels, columns, rows) {
  const means = [];
  for (let ry = 0; ry < rows; ++ry) {
    for (let rx = 0; rx < columns; ++rx) {
      let sum = 0;
      let n = 0;
      for (let y = Math.floor(ry * HEIGHT / rows); y < Math.floor((ry + 1) * HEIGHT / rows); ++y) {
        for (let x = Math.floor(rx * WIDTH / columns); x < Math.floor((rx + 1) * WIDTH / columns); ++x) {
          sum += grey(pixels, 4 * (y * WIDTH + x));
          n += 1;
        }
      }
      means.push(sum / n);
    }
  }
  return means;
}

// The ratio of the 90th to the 10th percentile of grey in a rectangle (in
// fractions of the picture): about 1 where a surface is evenly lit and
// coloured, large where a checker alternates.
function spread(pixels, x0, y0, x1, y1) {
  const values = [];
  for (let y = Math.floor(y0 * HEIGHT); y < Math.floor(y1 * HEIGHT); ++y)
    for (let x = Math.floor(x0 * WIDTH); x < Math.floor(x1 * WIDTH); ++x) values.push(grey(pixels, 4 * (y * WIDTH + x)));
  values.sort((a, b) => a - b);
  const at = (q) => values[Math.floor(q * (values.length - 1))];
  return at(0.9) / Math.max(at(0.1), 1);
}

const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'glowbake-page-'));
let browser = null;
let server = null;
try {
  execFileSync(glowbake, ['-m', path.join(source, 'tests', 'fixtures', 'room.glb'), '-h', hemicube, '-o', 'room.out',
    '-w', '0.05', '-a', '0.25', '-i', '0.005', '-s', '1000', '-t', '32',
    '--gltf-lightmap', 'lit.glb', '--gltf', 'unlit.glb'], { cwd: scratch, stdio: ['ignore', 'ignore', 'inherit'] });

  const started = await startServer(path.join(scratch, 'lit.glb'));
  server = started.server;
  browser = await puppeteer.launch({
    executablePath: process.env.GLOWBAKE_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    userDataDir: path.join(scratch, 'profile'),
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', '--use-angle=swiftshader', '--enable-unsafe-swiftshader'],
  });

  // The page at `query`: its pixels once three frames are drawn, and every
  // console error (a resource that cannot be loaded is one) and uncaught
  // exception on the way.
  async function draw(query) {
    const page = await browser.newPage();
    const errors = [];
    page.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
    page.on('pageerror', (e) => errors.push(String(e)));
    await page.setViewport({ width: WIDTH, height: HEIGHT, deviceScaleFactor: 1 });
    await page.goto(`${started.base}?${query}`, { waitUntil: 'load' });
    await page.waitForFunction('window.glowbake && (window.glowbake.frames >= 3 || window.glowbake.error)',
      { timeout: 120000 });
    const pixels = await page.evaluate(() => {
      const canvas = document.querySelector('canvas');
      if (!canvas) return null;
      const copy = document.createElement('canvas');
      copy.width = canvas.width;
      copy.height = canvas.height;
      const context = copy.getContext('2d');
      context.drawImage(canvas, 0, 0);
      return Array.from(context.getImageData(0, 0, canvas.width, canvas.height).data);
    });
    const error = await page.evaluate(() => window.glowbake.error);
    if (process.env.GLOWBAKE_PAGE_SHOTS) {
      const name = query.includes('lambert') ? 'lambert' : query.includes('unlit') ? 'unlit' : 'lit';
      await page.screenshot({ path: path.join(process.env.GLOWBAKE_PAGE_SHOTS, `${name}.png`) });
    }
    if (error) errors.push(error);
    await page.close();
    return { pixels, errors };
  }

  const lit = await draw(`model=scene/lit.glb${CAMERA}`);
  const lambert = await draw(`model=scene/lit.glb&mode=lambert${CAMERA}`);
  const unlit = await draw(`model=scene/unlit.glb${CAMERA}`);
  for (const [name, view] of [['lit', lit], ['lambert', lambert], ['unlit', unlit]]) {
    check(view.errors.length === 0, `${name}: no console error (${view.errors.join('; ')})`);
    check(view.pixels && view.pixels.length === WIDTH * HEIGHT * 4, `${name}: a ${WIDTH} x ${HEIGHT} picture`);
  }

  if (failures.length === 0) {
    const a = regionMeans(lambert.pixels, 8, 6);
    const b = regionMeans(unlit.pixels, 8, 6);
    let worst = 0;
    for (let i = 0; i < a.length; ++i) worst = Math.max(worst, Math.abs(a[i] - b[i]) / Math.max(b[i], 1));
    console.log('lambert', a.map((v) => v.toFixed(0)).join(' '));
    console.log('unlit  ', b.map((v) => v.toFixed(0)).join(' '));
    check(worst <= 0.1, `Lambertian view matches the unlit export region by region (worst ${(100 * worst).toFixed(1)} %)`);
    check(Math.min(...b) > 5, 'every region of the unlit export has light');

    const floor = [0.25, 0.8, 0.75, 1.0];
    const checker = spread(lit.pixels, ...floor);
    const even = spread(lambert.pixels, ...floor);
    console.log(`floor spread: drawn normally ${checker.toFixed(2)}, Lambertian ${even.toFixed(2)}`);
    check(checker > 2 && even < 1.5, 'drawn normally the floor shows its checker, the Lambertian view does not');
  }
} catch (error) {
  check(false, `the test ran: ${error.stack || error}`);
} finally {
  if (browser) await browser.close();
  if (server) server.close();
  fs.rmSync(scratch, { recursive: true, force: true });
}
console.log(failures.length === 0 ? 'page test passed' : `page test FAILED: ${failures.length} check(s)`);
process.exit(failures.length === 0 ? 0 : 1);
