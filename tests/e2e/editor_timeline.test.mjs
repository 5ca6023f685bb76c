// The chord lane and the piano roll in Chromium against `tavrena editor` with the real
// controller and processor: boundary drags on the snap grid, Escape during a drag, zoom,
// snap and shared scrolling, refused edits, and the roll's pixels after a generation.
// Screenshots of the main page with a generated solo in both languages go to the artifacts.
import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { rmSync } from 'node:fs';
import path from 'node:path';
import {
  artifacts,
  launchBrowser,
  openProductPage,
  readSavedState,
  startEditor,
  stopEditor,
  tempFolder,
  waitFor,
} from './support.mjs';

let browser;
let folder;
let statePath;
let editor;
let page;
let problems;

before(async () => {
  browser = await launchBrowser();
  folder = tempFolder('tavrena-timeline-');
  statePath = path.join(folder, 's.json');
  editor = await startEditor(['--state', statePath]);
  ({ page, problems } = await openProductPage(browser, editor.url));
});

after(async () => {
  await page?.close().catch(() => {});
  await browser?.close();
  await stopEditor(editor).catch(() => {});
  if (folder) rmSync(folder, { recursive: true, force: true });
});

const saved = () => readSavedState(statePath);
// Stored entries are texts or objects.
const chordOf = (entry) => (typeof entry === 'string' ? entry : entry.chord);
const savedBars = () => saved()?.config.progression.map((entry) => entry.bars ?? 1);

// Replaces the configuration through the page and waits until the plug-in holds it.
async function useConfig(patch) {
  await page.evaluate(async (p) => {
    const config = { ...JSON.parse(JSON.stringify(TavrenaPage.state().config)), ...p };
    await TavrenaPage.commit(config);
  }, patch);
  await waitFor('the plug-in to hold the configuration', () =>
    JSON.stringify(saved()?.config.progression.map(chordOf)) ===
    JSON.stringify(patch.progression.map(chordOf)));
}

// The lane is rebuilt when the plug-in's state comes back: ask until a box is there.
const handleBox = (index, side) => waitFor(`the ${side} handle of chord ${index + 1}`, () =>
  page.locator(`#progression .slot[data-index="${index}"] .handle.${side}`).boundingBox());
const slotBoxes = () =>
  page.$$eval('#progression .slot', (slots) => slots.map((s) => [s.offsetLeft, s.offsetWidth]));

describe('the chord lane', () => {
  it('drags a boundary on the snap grid and the plug-in keeps the new lengths', async () => {
    await useConfig({ progression: ['Am', 'F', 'C', 'G'], meter: '4/4' });
    await page.selectOption('#zoom', '100');
    await page.selectOption('#snap', '0.25');
    // An unscaled stage at 1440 x 960: zoom 160 and snap 1/4 move a boundary 40 px a beat.
    const box = await handleBox(0, 'right');
    const x0 = box.x + box.width / 2;
    const y = box.y + box.height / 2;
    await page.mouse.move(x0, y);
    await page.mouse.down();
    await page.mouse.move(x0 + 25, y, { steps: 3 });  // 0.625 beats: the nearest grid beat is +1
    const during = await slotBoxes();
    assert.deepEqual(during.slice(0, 2), [[0, 200], [200, 120]], 'the slots move during the drag');
    await page.mouse.up();
    await waitFor('the new lengths in the plug-in', () =>
      JSON.stringify(savedBars()) === '[1.25,0.75,1,1]');
    assert.deepEqual(await page.evaluate(() => TavrenaPage.state().config.progression[1]),
      { chord: 'F', bars: 0.75 });

    // Far to the left the first chord keeps its last whole grid step (1/32 bar is the floor).
    const left = await handleBox(1, 'left');
    await page.mouse.move(left.x + 6, left.y + 20);
    await page.mouse.down();
    await page.mouse.move(left.x - 900, left.y + 20, { steps: 4 });
    await page.mouse.up();
    await waitFor('the shortest first chord', () =>
      JSON.stringify(savedBars()) === '[0.25,1.75,1,1]');
  });

  it('grows the last chord to at most 256 bars, snapping from the timeline start', async () => {
    await useConfig({ progression: [{ chord: 'Am', bars: 1.5 }, { chord: 'E', meter: '3/4' }],
      meter: '4/4' });
    await page.selectOption('#zoom', '50');
    await page.selectOption('#snap', '1');
    const box = await handleBox(1, 'right');
    await page.mouse.move(box.x + 6, box.y + 20);
    await page.mouse.down();
    // Captured, the pointer keeps reporting far past the window's edge.
    await page.mouse.move(box.x + 60000, box.y + 20, { steps: 5 });
    await page.mouse.up();
    // E starts at beat 6 and may end at 6 + 256 x 3 = 774 beats, but the snap grid counts
    // whole 4/4 bars from the timeline's start: its end lands on 772, so 766 / 3 of its bars.
    await waitFor('the longest last chord', () => {
      const bars = savedBars();
      return bars?.[0] === 1.5 && Math.abs(bars[1] - 766 / 3) < 1e-9;
    });
    await page.selectOption('#zoom', '100');
    await page.selectOption('#snap', '0.25');
  });

  it('Escape during a drag puts the lane back and writes nothing', async () => {
    await useConfig({ progression: ['Am', 'F', 'C', 'G'], meter: '4/4' });
    const before = await slotBoxes();
    const written = saved();
    const box = await handleBox(1, 'right');
    await page.mouse.move(box.x + 6, box.y + 20);
    await page.mouse.down();
    await page.mouse.move(box.x + 86, box.y + 20, { steps: 3 });
    assert.notDeepEqual(await slotBoxes(), before);
    await page.keyboard.press('Escape');
    assert.deepEqual(await slotBoxes(), before, 'Escape restores the slots');
    await page.mouse.move(box.x + 200, box.y + 20);
    await page.mouse.up();
    await new Promise((resolve) => setTimeout(resolve, 400));
    assert.deepEqual(saved(), written, 'nothing was committed');
    assert.deepEqual(await slotBoxes(), before);
  });

  it('a refused edit leaves the lane as it was and says why', async () => {
    // 32 bars x 128 repeats is the most a progression may last; one more chord is refused.
    await useConfig({ progression: Array(32).fill('Am'), repeats: 128 });
    const before = await slotBoxes();
    await page.click('#add-chord');
    await waitFor('the refusal', async () =>
      (await page.textContent('#status')) === 'Maximum 4096 bars including repeats');
    assert.deepEqual(await slotBoxes(), before);
    assert.equal(saved().config.progression.length, 32);
    await useConfig({ progression: ['Am', 'F', 'C', 'G'], repeats: 1 });
  });

  it('zoom and snap keep the beat at the left edge; the lane scrolls with the roll', async () => {
    await useConfig({ progression: Array(64).fill('Am'), meter: '4/4' });
    await page.selectOption('#zoom', '100');
    await page.$eval('#roll-scroll', (s) => { s.scrollLeft = 400; });  // beat 10 at 40 px/beat
    await waitFor('the lane to follow', () =>
      page.$eval('#progression-scroll', (s) => s.scrollLeft === 400));
    await page.selectOption('#zoom', '200');
    assert.equal(await page.$eval('#roll-scroll', (s) => s.scrollLeft), 800);
    assert.equal(await page.$eval('#progression-scroll', (s) => s.scrollLeft), 800);
    const least = Math.max(1280, (await page.$eval('#roll', (c) => c.clientWidth)) - 52);
    assert.equal(await page.$eval('#progression', (p) => p.offsetWidth), Math.max(least, 65 * 320));
    await page.selectOption('#snap', '0.5');
    assert.equal(await page.$eval('#roll-scroll', (s) => s.scrollLeft), 800);
    assert.equal(await page.$$eval('#progression .lane-line:not(.measure)', (l) => l.length) > 0,
      true);
    await page.selectOption('#zoom', '50');  // 80 px a bar, never narrower than 1280 px
    assert.equal(await page.$eval('#roll-scroll', (s) => s.scrollLeft), 200);
    assert.equal(await page.$eval('#progression', (p) => p.offsetWidth), Math.max(least, 65 * 80));

    // A wheel over the lane scrolls both.
    await page.selectOption('#zoom', '100');
    await page.$eval('#roll-scroll', (s) => { s.scrollLeft = 0; });
    const lane = await page.locator('#progression-scroll').boundingBox();
    await page.mouse.move(lane.x + 200, lane.y + 60);
    await page.mouse.wheel(0, 120);
    await waitFor('the wheel scroll', async () =>
      (await page.$eval('#roll-scroll', (s) => s.scrollLeft)) === 120);
    assert.equal(await page.$eval('#progression-scroll', (s) => s.scrollLeft), 120);
    await page.$eval('#roll-scroll', (s) => { s.scrollLeft = 0; });
    await page.selectOption('#snap', '0.25');
    await page.selectOption('#zoom', '50');
    await useConfig({ progression: ['Am', 'F'], meter: '4/4' });
    assert.equal(await page.$eval('#progression', (p) => p.offsetWidth), least);
    await page.selectOption('#zoom', '100');
  });
});

// The pixel at the centre of each note's rectangle (device pixels), for the notes of the
// shown variant whose rectangle lies wholly in view and is at least 4 px wide.
function sampleNotes() {
  const page = TavrenaPage;
  const canvas = document.getElementById('roll');
  const ratio = canvas.width / canvas.clientWidth;
  const { rollTopPitch: hi, rollZoom } = page.roll();
  const rowHeight = (12 * rollZoom) / 100;
  const rows = Math.min(128, Math.floor((canvas.clientHeight - 64) / rowHeight));
  const ppb = page.roll().zoom / 4;
  const offset = document.getElementById('roll-scroll').scrollLeft;
  const state = page.state();
  const notes = state.variants[state.variation];
  const context = canvas.getContext('2d');
  const samples = [];
  for (const note of notes) {
    const left = 52 + note.start * ppb - offset;
    const width = note.length * ppb - 1;
    if (note.pitch > hi || note.pitch < hi - rows + 1) continue;
    if (width < 4 || left < 52 || left + width > canvas.clientWidth) continue;
    const x = Math.round((left + width / 2) * ratio);
    const y = Math.round(((hi - note.pitch) * rowHeight + rowHeight / 2) * ratio);
    const [r, g, b] = context.getImageData(x, y, 1, 1).data;
    samples.push({ note, rgb: `${r},${g},${b}` });
  }
  return { samples, count: notes.length };
}

describe('the piano roll', () => {
  it('draws exactly the selected variant and redraws when the variant changes', async () => {
    await useConfig({ progression: ['Am', 'F', 'C', 'G'], meter: '4/4', seed: 7 });
    // Generation fills the selected slot: fill all three.
    for (const variant of [0, 1, 2]) {
      await page.click(`[data-variant="${variant}"]`);
      await waitFor(`variant ${variant + 1} in the plug-in`, () => saved()?.variation === variant);
      await page.click('#generate');
      await waitFor(`variant ${variant + 1}'s notes`, () =>
        page.evaluate((v) => TavrenaPage.state().variants[v].length > 0, variant), 10000);
      // Each generation's end is reported, even when it ended before the next poll.
      await waitFor('the status', async () =>
        (await page.textContent('#status')) === 'Solo generated');
    }
    // Show the pitches the solo uses.
    await page.evaluate(() => {
      const notes = TavrenaPage.state().variants.flat();
      const top = Math.max(...notes.map((n) => n.pitch));
      const canvas = document.getElementById('roll');
      const wheel = new WheelEvent('wheel', { deltaY: (TavrenaPage.roll().rollTopPitch - top - 2) * 40,
        deltaMode: 0, cancelable: true });
      canvas.dispatchEvent(wheel);
    });
    for (const variant of [0, 1, 2]) {
      await page.click(`[data-variant="${variant}"]`);
      await waitFor(`variant ${variant + 1}`, () =>
        page.evaluate((v) => TavrenaPage.state().variation === v, variant));
      const { samples, count } = await page.evaluate(sampleNotes);
      assert.ok(count > 0);
      assert.ok(samples.length >= Math.min(8, count / 2), `${samples.length} of ${count} sampled`);
      for (const { note, rgb } of samples) {
        assert.equal(rgb, '27,77,58', `variant ${variant + 1}, note ${JSON.stringify(note)}`);
      }
      // Between the shown notes the lane is empty: no other variant's notes are drawn.
      const stray = await page.evaluate(() => {
        const state = TavrenaPage.state();
        const shown = state.variants[state.variation];
        const others = state.variants.filter((_, i) => i !== state.variation).flat();
        const canvas = document.getElementById('roll');
        const context = canvas.getContext('2d');
        const ratio = canvas.width / canvas.clientWidth;
        const hi = TavrenaPage.roll().rollTopPitch;
        const rows = Math.floor((canvas.clientHeight - 64) / 12);
        let found = 0;
        for (const note of others) {
          const covered = shown.some((s) => s.pitch === note.pitch &&
            s.start < note.start + note.length + 0.05 && note.start < s.start + s.length + 0.05);
          if (covered || note.length * 40 < 6 || note.pitch > hi || note.pitch <= hi - rows) continue;
          const x = Math.round((52 + (note.start + note.length / 2) * 40) * ratio);
          const y = Math.round(((hi - note.pitch) * 12 + 6) * ratio);
          if (x >= canvas.width) continue;
          const [r, g, b] = context.getImageData(x, y, 1, 1).data;
          if (r === 27 && g === 77 && b === 58) found += 1;
        }
        return found;
      });
      assert.equal(stray, 0, `variant ${variant + 1} shows another variant's notes`);
    }
    // On a high-density screen the canvas has two backing pixels per CSS pixel, and the
    // notes are where they were.
    const cdp = await page.context().newCDPSession(page);
    await cdp.send('Emulation.setDeviceMetricsOverride',
      { width: 1440, height: 960, deviceScaleFactor: 2, mobile: false });
    // (Emulated densities fire no change event: redraw as a density change would.)
    await page.evaluate(() => TavrenaPage.drawRoll());
    assert.equal(await page.$eval('#roll', (c) => c.width === 2 * c.clientWidth), true);
    const sharp = await page.evaluate(sampleNotes);
    assert.ok(sharp.samples.length > 0);
    for (const { note, rgb } of sharp.samples) assert.equal(rgb, '27,77,58', JSON.stringify(note));
    await cdp.send('Emulation.clearDeviceMetricsOverride');
    await page.setViewportSize({ width: 1440, height: 960 });
    await page.evaluate(() => TavrenaPage.drawRoll());
    assert.equal(await page.$eval('#roll', (c) => c.width === c.clientWidth), true);

    await page.click('[data-variant="0"]');
    await page.screenshot({ path: path.join(artifacts, 'main-solo-en.png') });
    await page.evaluate(() => I18n.setLanguage('ru'));
    await page.screenshot({ path: path.join(artifacts, 'main-solo-ru.png') });
    await page.evaluate(() => I18n.setLanguage('en'));
    assert.deepEqual(problems, []);
  });
});

describe('the wheel over the roll', () => {
  it('scrolls pitches within 0..127, zooms around the pointer with Alt, scrolls time with Shift',
    async () => {
      const wheel = (init) => page.evaluate((i) => {
        const canvas = document.getElementById('roll');
        canvas.dispatchEvent(new WheelEvent('wheel', { cancelable: true, ...i }));
        return TavrenaPage.roll();
      }, init);
      const rows = () => page.evaluate(() => {
        const canvas = document.getElementById('roll');
        const rowHeight = (12 * TavrenaPage.roll().rollZoom) / 100;
        return Math.min(128, Math.floor((canvas.clientHeight - 64) / rowHeight));
      });
      // Far up and far down: the range stays inside MIDI.
      let roll = await wheel({ deltaY: -40 * 500 });
      assert.equal(roll.rollTopPitch, 127);
      assert.equal(await page.textContent('#roll-range'), `MIDI ${128 - (await rows())}–127`);
      roll = await wheel({ deltaY: 40 * 500 });
      assert.equal(roll.rollTopPitch, (await rows()) - 1);
      assert.match(await page.textContent('#roll-range'), /^MIDI 0–/);
      // Line mode scrolls a pitch a line; pixels add up until they make one.
      const top = (await wheel({ deltaY: -40 * 20 })).rollTopPitch;
      assert.equal((await wheel({ deltaY: -3, deltaMode: 1 })).rollTopPitch, top + 3);
      assert.equal((await wheel({ deltaY: -20 })).rollTopPitch, top + 3);
      assert.equal((await wheel({ deltaY: -20 })).rollTopPitch, top + 4);

      // Alt zooms around the pointer: the pitch under it stays put, within 25..800 %.
      const pointerY = 150;
      const canvasTop = await page.$eval('#roll', (c) => c.getBoundingClientRect().top);
      const pitchAt = (r) => r.rollTopPitch - pointerY / ((12 * r.rollZoom) / 100);
      let before = await page.evaluate(() => TavrenaPage.roll());
      roll = await wheel({ deltaY: -200, altKey: true, clientY: canvasTop + pointerY });
      assert.ok(roll.rollZoom > before.rollZoom);
      assert.ok(Math.abs(pitchAt(roll) - pitchAt(before)) < 1, JSON.stringify([before, roll]));
      for (let i = 0; i < 20; ++i) roll = await wheel({ deltaY: -300, altKey: true });
      assert.equal(roll.rollZoom, 800);
      for (let i = 0; i < 40; ++i) roll = await wheel({ deltaY: 300, altKey: true });
      assert.equal(roll.rollZoom, 25);
      assert.ok((await rows()) <= 128);

      // Shift (or a sideways wheel) scrolls the shared timeline.
      await useConfig({ progression: Array(64).fill('Am'), meter: '4/4' });
      await page.$eval('#roll-scroll', (s) => { s.scrollLeft = 0; });
      await wheel({ deltaY: 90, shiftKey: true });
      assert.equal(await page.$eval('#roll-scroll', (s) => s.scrollLeft), 90);
      await wheel({ deltaX: 30 });
      assert.equal(await page.$eval('#roll-scroll', (s) => s.scrollLeft), 120);
      assert.equal(await page.$eval('#progression-scroll', (s) => s.scrollLeft), 120);
      await page.$eval('#roll-scroll', (s) => { s.scrollLeft = 0; });
    });
});
