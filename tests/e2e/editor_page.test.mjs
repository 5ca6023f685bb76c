// The product page in Chromium against `tavrena editor` with the real controller and
// processor: languages, generation and variants, MIDI export, refused edits,
// configuration files, and preview mode without the plug-in. Screenshots of the main
// page in both languages go to TAVRENA_ARTIFACTS (default build/release/e2e-artifacts).
import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import http from 'node:http';
import { mkdirSync, readFileSync, readdirSync, rmSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import {
  artifacts,
  builtPage,
  launchBrowser,
  openProductPage,
  readJson,
  readSavedState,
  runTool,
  startEditor,
  stopEditor,
  tempFolder,
  waitFor,
} from './support.mjs';

const statusText = (page) => page.textContent('#status');

let browser;
before(async () => {
  browser = await launchBrowser();
  mkdirSync(artifacts, { recursive: true });
});
after(async () => {
  await browser?.close();
});

describe('the editor page with the plug-in', () => {
  let folder;
  let statePath;
  let editor;
  let page;
  let problems;

  before(async () => {
    folder = tempFolder('tavrena-page-');
    statePath = path.join(folder, 's.json');
    editor = await startEditor(['--state', statePath, '--export-dir', folder]);
    ({ page, problems } = await openProductPage(browser, editor.url));
  });

  after(async () => {
    await page?.close().catch(() => {});
    await stopEditor(editor).catch(() => {});
    if (folder) rmSync(folder, { recursive: true, force: true });
  });

  it('starts in English, switches to Russian and back, and remembers the choice', async () => {
    assert.equal(await statusText(page), 'Ready');
    assert.equal(await page.textContent('#generate'), '✦ Generate solo');
    assert.equal(await page.getAttribute('html', 'lang'), 'en');
    await page.screenshot({ path: path.join(artifacts, 'page-en.png') });

    await page.click('#settings');
    await page.selectOption('#language', 'ru');
    await page.click('#main-tab');
    await waitFor('the status in Russian', async () => (await statusText(page)) === 'Готово');
    assert.equal(await page.textContent('#generate'), '✦ Сгенерировать соло');
    await page.screenshot({ path: path.join(artifacts, 'page-ru.png') });

    await page.reload();
    await page.waitForSelector('body[data-ready="true"]');
    await waitFor('the remembered language', async () => (await statusText(page)) === 'Готово');
    assert.equal(await page.inputValue('#language'), 'ru');
    await page.evaluate(() => I18n.setLanguage('en'));
    await waitFor('the status in English', async () => (await statusText(page)) === 'Ready');
    assert.deepEqual(problems, []);
  });

  it('generates: the button offers cancel while busy, the variants switch what plays', async () => {
    await page.evaluate(() => {
      window.generateTexts = [];
      const button = document.getElementById('generate');
      new MutationObserver(() => window.generateTexts.push(button.textContent)).observe(button, {
        childList: true,
        characterData: true,
        subtree: true,
      });
    });
    await page.click('#generate');
    await waitFor('the solo', async () => (await statusText(page)) === 'Solo generated', 5000);
    const texts = await page.evaluate(() => window.generateTexts);
    assert.ok(texts.includes('■ Cancel'), `button texts: ${texts.join(' | ')}`);
    assert.equal(await page.textContent('#generate'), '✦ Generate solo');
    assert.equal(await page.isHidden('#empty-roll'), true);
    assert.equal(await page.isEnabled('#export'), true);

    for (const variant of [2, 1, 0]) {
      await page.click(`[data-variant="${variant}"]`);
      await waitFor(`variant ${variant + 1} in the plug-in`, () =>
        readSavedState(statePath)?.variation === variant);
      const active = await page.getAttribute(`[data-variant="${variant}"]`, 'class');
      assert.match(active, /active/);
    }
  });

  it('exports the MIDI file that tavrena export reproduces from the saved state', async () => {
    await page.click('#export');
    await waitFor('the export message', async () => (await statusText(page)) === 'MIDI exported');
    const exported = path.join(folder, 'solo.mid');
    const saved = await waitFor('the saved state', () =>
      readSavedState(statePath)?.variants[0].length > 0);
    assert.ok(saved);
    const again = path.join(folder, 'again.mid');
    const result = await runTool(['export', statePath, '-o', again]);
    assert.equal(result.code, 0, result.stderr);
    assert.deepEqual(readFileSync(again), readFileSync(exported));
  });

  it('an invalid edit shows its message and commits nothing', async () => {
    const before = readFileSync(statePath, 'utf8');
    const refused = path.join(folder, 'slow.json');
    writeFileSync(refused, JSON.stringify({ progression: ['Am', 'E7'], bpm: 10 }));
    await page.setInputFiles('#config-file', refused);
    await waitFor('the refusal', async () => (await statusText(page)) === 'BPM: allowed 20…400');
    const state = await page.evaluate(() => TavrenaPage.state().config.bpm);
    assert.equal(state, 120);
    assert.equal(readFileSync(statePath, 'utf8'), before);
  });

  it('imports and exports configuration files', async () => {
    const arrayForm = path.join(folder, 'chords.json');
    writeFileSync(arrayForm, '\ufeff["C", "G"]');
    await page.setInputFiles('#config-file', arrayForm);
    await waitFor('the import', async () => (await statusText(page)) === 'Config loaded');
    await waitFor('the imported progression in the plug-in', () => {
      const config = readJson(statePath).config;
      return JSON.stringify(config.progression) === '["C","G"]';
    });
    assert.equal(readJson(statePath).variants.flat().length, 0, 'an edit clears the variants');

    const noProgression = path.join(folder, 'tempo.json');
    writeFileSync(noProgression, '{"bpm": 90}');
    await page.setInputFiles('#config-file', noProgression);
    await waitFor('the refusal', async () =>
      (await statusText(page)) === (await page.evaluate(() => I18n.t('Нужна непустая progression'))));

    // 8 MiB is read; one byte more is refused before it is read.
    const largest = path.join(folder, 'largest.json');
    writeFileSync(largest, `["Dm"${' '.repeat(8388608 - 6)}]`);
    await page.evaluate(() => TavrenaPage.message(''));
    await page.setInputFiles('#config-file', largest);
    await waitFor('the largest import', async () => (await statusText(page)) === 'Config loaded');
    writeFileSync(largest, `["Dm"${' '.repeat(8388608 - 5)}]`);
    await page.setInputFiles('#config-file', largest);
    await waitFor('the size refusal', async () => (await statusText(page)) === 'JSON file is too large');

    const [download] = await Promise.all([page.waitForEvent('download'), page.click('#export-config')]);
    assert.equal(download.suggestedFilename(), 'solo-config.json');
    const written = readFileSync(await download.path(), 'utf8');
    const config = await page.evaluate(() => TavrenaPage.state().config);
    assert.equal(written, JSON.stringify(config, null, 2));
  });
  it('draws the lane and the roll; the chord tools edit the progression', async () => {
    const fresh = await page.evaluate(async () => {
      const state = JSON.parse(JSON.stringify(TavrenaPage.state()));
      state.config.progression = ['Am', 'F', 'C', 'G'];
      state.variants = [[{ start: 0, length: 2, pitch: 69, velocity: 100 }], [], []];
      state.variation = 0;
      await TavrenaPage.save(state);
      return TavrenaPage.state().config.progression;
    });
    assert.deepEqual(fresh, ['Am', 'F', 'C', 'G']);
    assert.deepEqual(await page.$$eval('#progression .chord', (b) => b.map((x) => x.textContent)),
      ['Am', 'F', 'C', 'G']);
    // The note is drawn in its colour on the canvas, at pitch 69 within the shown range.
    const green = await page.evaluate(() => {
      const canvas = document.getElementById('roll');
      const pixels = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
      let count = 0;
      for (let i = 0; i < pixels.length; i += 4) {
        if (pixels[i] === 0x1b && pixels[i + 1] === 0x4d && pixels[i + 2] === 0x3a) count += 1;
      }
      return count;
    });
    assert.ok(green > 100, `note pixels: ${green}`);
    assert.match(await page.textContent('#roll-range'), /^MIDI \d+–\d+$/);

    // The plug-in stores every entry as an object.
    const chords = () => readJson(statePath).config.progression.map((e) => e.chord + (e.bars ?? ''));
    await page.click('#add-chord');
    await waitFor('the added chord', () => chords().join() === 'Am,F,C,G,Am1');
    assert.equal(await page.isDisabled('#move-right'), true, 'the new last chord is selected');
    await page.click('#move-left');
    await waitFor('the moved chord', () => chords().join() === 'Am,F,C,Am1,G');
    await page.click('#progression .slot >> nth=0');
    await page.click('#delete-chord');
    await waitFor('the deleted chord', () => chords().join() === 'F,C,Am1,G');
  });

  it('writes edits in order and keeps the last accepted one when the newest is refused', async () => {
    const result = await page.evaluate(async () => {
      const page = window.TavrenaPage;
      const written = [];
      const write = window.tavrenaWrite;
      // The plug-in refuses B; A goes through.
      window.tavrenaWrite = (next) => {
        written.push(next.variation);
        return next.variation === 2 ? Promise.resolve(false) : write(next);
      };
      const base = JSON.parse(JSON.stringify(page.state()));
      const a = page.save({ ...base, variation: 1 });
      const b = page.save({ ...base, variation: 2 });
      const shownAtOnce = page.state().variation;
      await a;
      const refusal = await b.then(() => null, (error) => error.message);
      window.tavrenaWrite = write;
      return { written, shownAtOnce, refusal, after: page.state().variation };
    });
    assert.deepEqual(result, {
      written: [1, 2],
      shownAtOnce: 2,
      refusal: 'Некорректный конфиг: проверьте поля и диапазоны',
      after: 1,
    });
  });

  it('starts a drag only past 5 pixels, and draws a new seed with the random seed on', async () => {
    const drags = await page.evaluate(async () => {
      const state = JSON.parse(JSON.stringify(window.TavrenaPage.state()));
      state.variants[state.variation] = [{ start: 0, length: 1, pitch: 64, velocity: 90 }];
      await window.TavrenaPage.save(state);
      let calls = 0;
      const drag = window.tavrenaDrag;
      window.tavrenaDrag = () => {
        calls += 1;
        return Promise.resolve(false);
      };
      const button = document.getElementById('drag');
      const pointer = (type, x, y, buttons) =>
        new PointerEvent(type, { bubbles: true, button: 0, buttons, screenX: x, screenY: y });
      button.dispatchEvent(pointer('pointerdown', 100, 100, 1));
      window.dispatchEvent(pointer('pointermove', 103, 104, 1));  // exactly 5
      const atFive = calls;
      window.dispatchEvent(pointer('pointermove', 103.1, 104, 1));
      window.dispatchEvent(pointer('pointermove', 120, 120, 1));  // only once per press
      const past = calls;
      window.dispatchEvent(pointer('pointerup', 120, 120, 0));
      window.tavrenaDrag = drag;
      return [atFive, past];
    });
    assert.deepEqual(drags, [0, 1]);

    const seed = await page.evaluate(async () => {
      const page = window.TavrenaPage;
      const state = JSON.parse(JSON.stringify(page.state()));
      state.config.seed = 4294967295;
      state.randomSeed = true;
      await page.save(state);
      // The platform's random source draws the current seed: the next one is used.
      const random = crypto.getRandomValues.bind(crypto);
      crypto.getRandomValues = (array) => {
        array[0] = 4294967295;
        return array;
      };
      document.getElementById('generate').click();
      for (let i = 0; i < 200 && page.state().config.seed === 4294967295; ++i) {
        await new Promise((resolve) => setTimeout(resolve, 10));
      }
      crypto.getRandomValues = random;
      return page.state().config.seed;
    });
    assert.equal(seed, 0);
    await waitFor('the generation to end', async () =>
      (await page.textContent('#generate')) === '✦ Generate solo');
  });
});

describe('the editor page without the plug-in', () => {
  let server;
  let page;

  before(async () => {
    const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.png': 'image/png' };
    const root = builtPage;
    server = http.createServer((request, response) => {
      const name = path.basename(new URL(request.url, 'http://x').pathname) || 'index.html';
      try {
        const body = readFileSync(path.join(root, name));
        response.writeHead(200, { 'Content-Type': types[path.extname(name)] || 'text/plain' });
        response.end(body);
      } catch {
        response.writeHead(404);
        response.end();
      }
    });
    await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
    ({ page } = await openProductPage(browser, `http://127.0.0.1:${server.address().port}/index.html`));
  });

  after(async () => {
    await page?.close().catch(() => {});
    server?.close();
  });

  it('shows the preview badge, keeps edits local and simulates the playhead', async () => {
    assert.equal(await page.isVisible('#preview-badge'), true);
    assert.equal(await page.textContent('#preview-badge'), 'PREVIEW');
    assert.equal(await statusText(page), 'Interface preview · generation is available in VST3');
    await page.click('#generate');
    assert.equal(await statusText(page), 'Generation is available in VST3');

    // Local edits: a variant with notes, then play moves the playhead at the bar's tempo.
    await page.evaluate(() => {
      const state = JSON.parse(JSON.stringify(TavrenaPage.state()));
      state.variants[0] = [{ start: 0, length: 1, pitch: 60, velocity: 90 }];
      return TavrenaPage.save(state);
    });
    await page.click('#play');
    const first = await page.evaluate(() => TavrenaPage.previewTime());
    await page.waitForTimeout(500);
    const later = await page.evaluate(() => TavrenaPage.previewTime());
    // 120 BPM: two beats a second.
    assert.ok(later - first > 0.5 && later - first < 1.6, `moved ${later - first} beats`);
    await page.click('#stop');
    assert.equal(await page.evaluate(() => TavrenaPage.previewTime()), 0);
  });
});
