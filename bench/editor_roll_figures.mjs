// Figures of the chord lane and the piano roll against `tavrena editor` in headless
// Chromium, with solos the real generator made:
// - roll redraw: the page's drawRoll() per frame while the view scrolls across the solo,
//   for the default phrase and for a dense 512-bar phrase; "drawn" is the script time of the
//   redraw, "flushed" adds the canvas's rasterisation (a one-pixel read forces it);
// - boundary drag: over a 64-chord progression, the work per pointer move (the lane's own
//   handler plus the style and layout it causes) and the frame intervals during the drag.
//
//   node bench/editor_roll_figures.mjs     (TAVRENA_TOOL overrides the tool's path)
import { rmSync } from 'node:fs';
import path from 'node:path';
import {
  launchBrowser,
  openProductPage,
  startEditor,
  stopEditor,
  tempFolder,
  tool,
  waitFor,
} from '../tests/e2e/support.mjs';

const kFrames = 240;
const kMoves = 200;

const median = (values) => {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[Math.floor(sorted.length / 2)];
};
const percentile = (values, p) => {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[Math.min(sorted.length - 1, Math.ceil((p / 100) * sorted.length) - 1)];
};
const ms = (value) => `${value.toFixed(3)} ms`;

async function generateWith(page, patch) {
  await page.evaluate(async (p) => {
    const config = { ...JSON.parse(JSON.stringify(TavrenaPage.state().config)), ...p };
    config.solo = { ...config.solo, ...(p.solo || {}) };
    await TavrenaPage.commit(config);
  }, patch);
  await page.click('#generate');
  return waitFor('the solo', () =>
    page.evaluate(() => TavrenaPage.state().variants[0].length), 120000, 50);
}

// Redraws the roll once per animation frame while the view scrolls over the solo.
function scrollFrames({ frames, flush }) {
  const scroller = document.getElementById('roll-scroll');
  const canvas = document.getElementById('roll');
  const context = canvas.getContext('2d');
  const span = Math.max(1, scroller.scrollWidth - scroller.clientWidth);
  const times = [];
  const intervals = [];
  let last = 0;
  return new Promise((resolve) => {
    const frame = (now) => {
      if (last) intervals.push(now - last);
      last = now;
      scroller.scrollLeft = (times.length * 97) % span;
      const start = performance.now();
      TavrenaPage.drawRoll();
      if (flush) context.getImageData(60, 10, 1, 1);
      times.push(performance.now() - start);
      if (times.length < frames) requestAnimationFrame(frame);
      else resolve({ times, intervals, span });
    };
    requestAnimationFrame(frame);
  });
}

async function rollFigures(page, name) {
  const notes = await page.evaluate(() => TavrenaPage.state().variants[0].length);
  const bars = await page.evaluate(() => TavrenaPage.total() / 4);
  const drawn = await page.evaluate(scrollFrames, { frames: kFrames, flush: false });
  const flushed = await page.evaluate(scrollFrames, { frames: kFrames, flush: true });
  console.log(
    `roll redraw, ${name} (${bars} bars, ${notes} notes, ${kFrames} frames): ` +
      `drawn median ${ms(median(drawn.times))}, p95 ${ms(percentile(drawn.times, 95))}; ` +
      `flushed median ${ms(median(flushed.times))}, p95 ${ms(percentile(flushed.times, 95))}; ` +
      `frame interval median ${ms(median(drawn.intervals))}`,
  );
}

async function dragFigures(page) {
  await page.evaluate(async () => {
    const config = JSON.parse(JSON.stringify(TavrenaPage.state().config));
    config.progression = Array.from({ length: 64 }, (_, i) => ['Am', 'F', 'C', 'G'][i % 4]);
    config.repeats = 1;
    await TavrenaPage.commit(config);
  });
  await page.selectOption('#zoom', '100');
  await page.$eval('#roll-scroll', (s) => { s.scrollLeft = 0; });
  await page.evaluate(() => {
    const probe = { moves: [], frames: [], running: true };
    window.dragProbe = probe;
    let started = 0;
    window.addEventListener('pointermove', (event) => {
      if (event.buttons === 1) started = performance.now();
    }, { capture: true });
    window.addEventListener('pointermove', (event) => {
      if (event.buttons !== 1 || !started) return;
      // Style and layout of what the handler changed, as the next frame would do them.
      document.querySelector('#progression .slot[data-index="3"]').getBoundingClientRect();
      probe.moves.push(performance.now() - started);
      started = 0;
    });
    let last = 0;
    const frame = (now) => {
      if (last) probe.frames.push(now - last);
      last = now;
      if (probe.running) requestAnimationFrame(frame);
    };
    requestAnimationFrame(frame);
  });
  const handle = page.locator('#progression .slot[data-index="2"] .handle.right');
  const box = await waitFor('the handle', () => handle.boundingBox());
  const x = box.x + 6;
  const y = box.y + 20;
  await page.mouse.move(x, y);
  await page.mouse.down();
  for (let i = 0; i < kMoves; ++i) {
    await page.mouse.move(x + 200 * Math.sin((i / kMoves) * 6 * Math.PI), y);
  }
  await page.mouse.up();
  const probe = await page.evaluate(() => {
    window.dragProbe.running = false;
    return window.dragProbe;
  });
  console.log(
    `boundary drag, 64 chords (${probe.moves.length} moves): per move median ` +
      `${ms(median(probe.moves))}, p95 ${ms(percentile(probe.moves, 95))}, max ` +
      `${ms(Math.max(...probe.moves))}; frame interval median ${ms(median(probe.frames))}, ` +
      `p95 ${ms(percentile(probe.frames, 95))}`,
  );
}

const folder = tempFolder('tavrena-roll-figures-');
const editor = await startEditor(['--state', path.join(folder, 's.json')]);
const browser = await launchBrowser();
try {
  const { page } = await openProductPage(browser, editor.url);
  page.setDefaultTimeout(120000);
  console.log(`tavrena editor roll figures: ${tool}`);
  await generateWith(page, {});
  await rollFigures(page, 'default phrase');
  // 64 chords of 8 bars at the densest settings: about 11 notes a bar.
  await generateWith(page, {
    progression: Array.from({ length: 64 }, (_, i) => ({ chord: ['Am', 'F', 'C', 'G'][i % 4], bars: 8 })),
    solo: { density: 1, rest_probability: 0, run_probability: 1 },
  });
  await rollFigures(page, 'dense phrase');
  await dragFigures(page);
} finally {
  await browser.close();
  await stopEditor(editor);
  rmSync(folder, { recursive: true, force: true });
}
