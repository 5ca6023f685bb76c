// The settings tab in Chromium against `tavrena editor` with the real controller and
// processor: the project controls, keystroke-by-keystroke saving of the form, refused
// values, the random seed, old alias keys and the instrument picker. Screenshots of the
// tab in both languages and of the picker go to TAVRENA_ARTIFACTS.
import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { mkdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
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
before(async () => {
  browser = await launchBrowser();
  mkdirSync(artifacts, { recursive: true });
});
after(async () => {
  await browser?.close();
});

describe('the settings tab with the plug-in', () => {
  let folder;
  let statePath;
  let editor;
  let page;
  let problems;

  // The plug-in's saved state; null while the file is being replaced.
  const saved = () => readSavedState(statePath);
  const waitSaved = (what, check) => waitFor(what, () => {
    const state = saved();
    return state !== null && check(state);
  });
  const pageConfig = () => page.evaluate(() => TavrenaPage.state().config);
  const errorLine = () => page.textContent('#config-error');

  // Replaces the page's and the plug-in's configuration and waits for the form to show it.
  async function useConfig(config) {
    await page.evaluate(async (next) => {
      const state = JSON.parse(JSON.stringify(TavrenaPage.state()));
      state.config = next;
      await TavrenaPage.save(state);
    }, config);
    await page.focus('#settings');
  }

  before(async () => {
    folder = tempFolder('tavrena-settings-');
    statePath = path.join(folder, 's.json');
    editor = await startEditor(['--state', statePath, '--export-dir', folder]);
    ({ page, problems } = await openProductPage(browser, editor.url));
    await page.click('#settings');
    await page.waitForSelector('#program-button');
  });

  after(async () => {
    await page?.close().catch(() => {});
    await stopEditor(editor).catch(() => {});
    if (folder) rmSync(folder, { recursive: true, force: true });
  });

  it('shows the project and the solo settings in both languages', async () => {
    assert.equal(await page.inputValue('#header-bpm'), '120');
    assert.equal(await page.inputValue('#header-meter'), '4/4');
    assert.equal(await page.$eval('#header-key option', (o) => o.textContent), 'Auto · A');
    assert.equal(await page.$eval('#header-mode option', (o) => o.textContent), 'Auto · Minor');
    assert.equal(await page.$eval('#header-bars', (s) => s.selectedOptions[0].textContent),
      '8 bars');
    assert.equal(await page.$$eval('#header-meter option', (o) => o.length), 192);
    // A density of 0.75 reads 75 %; the note range shows G3 to C6.
    assert.equal(await page.textContent('#readout-density'), '75%');
    assert.equal(await page.$eval('#setting-low_note', (s) => s.selectedOptions[0].textContent),
      'G3');
    assert.equal(await page.$eval('#setting-high_note', (s) => s.selectedOptions[0].textContent),
      'C6');
    assert.deepEqual(await page.$$eval('#setting-low_note option', (o) =>
      [o.length, o[0].textContent, o[o.length - 1].textContent]), [49, 'E2', 'E6']);
    assert.equal(await page.textContent('#program-button'), 'Distortion Guitar');
    assert.equal(await page.inputValue('#program-value'), '30');
    await page.screenshot({ path: path.join(artifacts, 'settings-en.png') });

    await page.selectOption('#language', 'ru');
    await waitFor('the automatic key in Russian', async () =>
      (await page.$eval('#header-key option', (o) => o.textContent)) === 'Авто · A');
    assert.equal(await page.$eval('#header-mode option', (o) => o.textContent), 'Авто · Минор');
    assert.equal(await page.$eval('#header-bars', (s) => s.selectedOptions[0].textContent),
      '8 тактов');
    await page.focus('#settings');
    await page.evaluate(() => { document.getElementById('settings-page').scrollTop = 0; });
    await page.screenshot({ path: path.join(artifacts, 'settings-ru.png') });
    await page.selectOption('#language', 'en');
    await waitFor('English again', async () =>
      (await page.$eval('#header-mode option', (o) => o.textContent)) === 'Auto · Minor');
    assert.deepEqual(problems, []);
  });

  it('saves every valid value as it is typed', async () => {
    await page.fill('#setting-repeats', '3');
    await waitSaved('three repeats', (s) => s.config.repeats === 3);
    await page.evaluate(() => {
      window.writtenRepeats = [];
      const write = window.tavrenaWrite;
      window.tavrenaWrite = (next) => {
        window.writtenRepeats.push(next.config.repeats);
        return write(next);
      };
    });
    await page.click('#setting-repeats');
    await page.keyboard.press('Control+A');
    await page.keyboard.type('12', { delay: 60 });
    await waitSaved('twelve repeats', (s) => s.config.repeats === 12);
    assert.deepEqual(await page.evaluate(() => window.writtenRepeats), [1, 12]);
    assert.equal(await errorLine(), '');

    // The header's tempo is saved while typed, too; values out of range wait.
    await page.click('#header-bpm');
    await page.keyboard.press('Control+A');
    await page.keyboard.type('90', { delay: 60 });
    await waitSaved('the tempo', (s) => s.config.bpm === 90);
    assert.deepEqual(await page.evaluate(() => window.writtenRepeats), [1, 12, 12]);

    // A slider shows its percentage and saves its value.
    await page.fill('#setting-density', '0.5');
    assert.equal(await page.textContent('#readout-density'), '50%');
    await waitSaved('the density', (s) => s.config.solo.density === 0.5);
  });

  it('an empty seed is null, an empty file name falls back to the default', async () => {
    await page.fill('#setting-seed', '');
    await waitSaved('the cleared seed', (s) => s.config.seed === null);
    await page.fill('#setting-output', '');
    await waitSaved('the cleared file name', (s) => !('output' in s.config));
    assert.equal((await pageConfig()).seed, null);
    // Blanks are not a file name: refused with the message, nothing saved.
    const before = readFileSync(statePath, 'utf8');
    await page.fill('#setting-output', '  ');
    assert.equal(await errorLine(), 'A MIDI filename is required');
    await page.fill('#setting-output', 'lead.mid');
    await waitSaved('the new file name', (s) => s.config.output === 'lead.mid');
    assert.equal(await errorLine(), '');
    assert.notEqual(readFileSync(statePath, 'utf8'), before);
  });

  it('a note range under an octave and an empty card number are refused', async () => {
    const before = readFileSync(statePath, 'utf8');
    await page.selectOption('#setting-low_note', '80');
    assert.equal(await errorLine(), 'The note range must span at least one octave');
    await page.fill('#setting-velocity', '');
    assert.equal(await errorLine(), 'Fill in the numeric field');
    await page.waitForTimeout(400);
    assert.equal(readFileSync(statePath, 'utf8'), before);
    assert.equal((await pageConfig()).solo.low_note, 55);

    // Corrected values clear the message and are saved again.
    await page.fill('#setting-velocity', '100');
    assert.equal(await errorLine(), 'The note range must span at least one octave');
    await page.selectOption('#setting-low_note', '60');
    assert.equal(await errorLine(), '');
    await waitSaved('the corrected range', (s) => s.config.solo.low_note === 60 &&
      s.config.solo.velocity === 100);
  });

  it('the random seed switch disables the seed field and is saved', async () => {
    await page.click('#random-seed');
    await waitSaved('the random seed on', (s) => s.randomSeed === true);
    assert.equal(await page.isDisabled('#setting-seed'), true);
    await page.focus('#settings');
    // Drawn again from the state, the form keeps the switch and the disabled field.
    await page.evaluate(() => {
      document.getElementById('settings-page').scrollTop = 300;
      document.getElementById('main-tab').click();
    });
    await page.click('#settings');
    assert.equal(await page.$eval('#settings-page', (p) => p.scrollTop), 0);
    assert.equal(await page.isChecked('#random-seed'), true);
    assert.equal(await page.isDisabled('#setting-seed'), true);
    await page.click('#random-seed');
    await waitSaved('the random seed off', (s) => s.randomSeed === false);
    assert.equal(await page.isDisabled('#setting-seed'), false);
  });

  it('the progression length scales every entry; a fraction shows as an extra entry', async () => {
    await useConfig({ progression: ['Am', 'F', 'C', 'G', 'Am', 'F', { chord: 'Dm', bars: 1 },
      'E7'] });
    await waitFor('eight bars', async () => (await page.inputValue('#header-bars')) === '8');
    await page.selectOption('#header-bars', '2');
    await waitSaved('the halved entries', (s) =>
      s.config.progression.length === 8 && s.config.progression.every((e) => e.bars === 0.25));
    assert.equal(await page.inputValue('#header-bars'), '2');

    await useConfig({ progression: [{ chord: 'Am', bars: 1.5 }, 'F'] });
    await waitFor('2.5 bars', async () => (await page.inputValue('#header-bars')) === '2.5');
    assert.equal(await page.$eval('#header-bars', (s) => s.selectedOptions[0].textContent),
      '2.5 bars');
    assert.equal(await page.$$eval('#header-bars option.extra', (o) => o.length), 1);
    // 2.5 to 4 bars: every entry grows by 1.6.
    await page.selectOption('#header-bars', '4');
    await waitSaved('longer entries', (s) => {
      const bars = s.config.progression.map((e) => e.bars ?? 1);
      return Math.abs(bars[0] - 2.4) < 1e-9 && Math.abs(bars[1] - 1.6) < 1e-9;
    });
    assert.equal(await page.inputValue('#header-bars'), '4');
    assert.equal(await page.$$eval('#header-bars option.extra', (o) => o.length), 0);
  });

  it('metre, key and mode are saved; a refused change returns to the state', async () => {
    await page.selectOption('#header-meter', '6/8');
    await page.selectOption('#header-key', 'Eb');
    await page.selectOption('#header-mode', 'dorian');
    await waitSaved('metre, key and mode', (s) =>
      s.config.meter === '6/8' && s.config.key === 'Eb' && s.config.scale === 'dorian');
    await page.selectOption('#header-key', '');
    await waitSaved('the automatic key', (s) => !('key' in s.config));

    // Shrinking to one bar would make the short entry shorter than 1/32 of a measure:
    // refused by the page's rules, and the select shows the state's length again.
    await useConfig({ progression: [{ chord: 'C', bars: 3 }, { chord: 'G', bars: 1 / 32 }] });
    const length = await page.inputValue('#header-bars');
    assert.match(length, /^3\.03[12]$/);
    const before = readFileSync(statePath, 'utf8');
    await page.selectOption('#header-bars', '1');
    await waitFor('the refusal', async () =>
      (await page.textContent('#status')) === 'Bars: allowed 0.03125…256');
    assert.equal(await page.inputValue('#header-bars'), length);
    assert.equal(readFileSync(statePath, 'utf8'), before);
  });

  it('an old alias key shows in its field and is stored under its own name', async () => {
    const file = path.join(folder, 'old.json');
    writeFileSync(file, JSON.stringify({ progression: ['Am', 'F'], solo: { rest_amount: 0.2 } }));
    await page.setInputFiles('#config-file', file);
    await waitFor('the imported rest amount', async () =>
      (await page.inputValue('#setting-rest_probability')) === '0.2');
    assert.equal(await page.textContent('#readout-rest_probability'), '20%');
    await page.fill('#setting-phrase_bars', '8');
    await waitSaved('the next edit', (s) => s.config.solo?.phrase_bars === 8);
    const solo = saved().config.solo;
    assert.equal(solo.rest_probability, 0.2);
    assert.equal('rest_amount' in solo, false);
    assert.equal(Object.keys(solo).length, 20);
  });

  it('the instrument picker opens on the current family and applies a choice', async () => {
    await page.focus('#settings');
    await page.click('#program-button');
    await page.waitForSelector('.picker-program');
    assert.equal(await page.getAttribute('#program-button', 'aria-expanded'), 'true');
    assert.equal(await page.getAttribute('.picker-program', 'aria-label'), 'GM instrument');
    assert.deepEqual(await page.$$eval('.instrument-family[open] summary', (s) =>
      s.map((x) => x.textContent)), ['Guitar']);
    assert.equal(await page.$$eval('.instrument-family', (g) => g.length), 16);
    assert.equal(await page.evaluate(() => document.activeElement.dataset.program), '30');
    assert.equal(await page.$eval('.instrument.active', (b) => b.dataset.program), '30');
    await page.screenshot({ path: path.join(artifacts, 'instrument-picker-en.png') });

    await page.click('.instrument[data-program="29"]');
    await waitSaved('program 29', (s) => s.config.solo.program === 29);
    assert.equal(await page.isHidden('#picker-layer'), true);
    assert.equal(await page.evaluate(() => document.activeElement.id), 'program-button');
    assert.equal(await page.textContent('#program-button'), 'Overdriven Guitar');
    assert.equal(await page.getAttribute('#program-button', 'aria-expanded'), 'false');

    // Another family opens on demand; Escape closes without a change.
    await page.click('#program-button');
    await page.click('.instrument-family >> nth=0 >> summary');
    await page.click('.instrument[data-program="0"]');
    await waitSaved('program 0', (s) => s.config.solo.program === 0);
    await page.click('#program-button');
    await page.keyboard.press('Escape');
    assert.equal(await page.isHidden('#picker-layer'), true);
    assert.equal(await page.evaluate(() => document.activeElement.id), 'program-button');

    // With an invalid value in the form, a choice is refused and the picker stays.
    await page.fill('#setting-velocity', '');
    await page.click('#program-button');
    await page.click('.instrument[data-program="5"]');
    assert.equal(await page.isVisible('.picker-program'), true);
    assert.equal(await page.inputValue('#program-value'), '0');
    assert.equal(await errorLine(), 'Fill in the numeric field');
    await page.keyboard.press('Escape');
    await page.fill('#setting-velocity', '96');
    assert.equal(await errorLine(), '');
  });

  it('the form takes the state of the plug-in only while it has no focus', async () => {
    // Tab finishes the edit (its change event) and stays in the form.
    await page.fill('#setting-velocity', '90');
    await page.keyboard.press('Tab');
    await waitSaved('velocity 90', (s) => s.config.solo.velocity === 90);
    // Another writer changes the plug-in's state while the user is in the form.
    await page.evaluate(async () => {
      const state = JSON.parse(JSON.stringify(TavrenaPage.state()));
      state.config.solo.velocity = 50;
      await window.tavrenaWrite(state);
    });
    await page.waitForTimeout(450);
    assert.equal(await page.inputValue('#setting-velocity'), '90');
    await page.focus('#settings');
    await waitFor('the form drawn again', async () =>
      (await page.inputValue('#setting-velocity')) === '50');
  });

  it('sync is a toggle of the state', async () => {
    await page.click('#sync');
    await waitSaved('sync on', (s) => s.sync === true);
    assert.equal(await page.getAttribute('#sync', 'aria-pressed'), 'true');
    await page.click('#sync');
    await waitSaved('sync off', (s) => s.sync === false);
    assert.equal(await page.getAttribute('#sync', 'aria-pressed'), 'false');
    assert.deepEqual(problems, []);
  });
});
