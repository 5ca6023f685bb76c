// The chord lane's chord and mode pickers in Chromium against `tavrena editor` with the
// real controller and processor: every choice must reach the plug-in's stored state.
// Screenshots of both dialogs go to TAVRENA_ARTIFACTS (default build/release/e2e-artifacts).
import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { mkdirSync, readFileSync, rmSync } from 'node:fs';
import path from 'node:path';
import {
  artifacts,
  launchBrowser,
  openProductPage,
  readJson,
  readSavedState,
  startEditor,
  stopEditor,
  tempFolder,
  waitFor,
} from './support.mjs';

const dialog = '#picker-layer [role="dialog"]';
const segment = (pc) => `${dialog} .wheel-segment[data-focus="segment-${pc}"]`;
const quality = (name) => `${dialog} [data-focus="quality-${name}"]`;
const slot = (index) => `#progression .slot[data-index="${index}"]`;
const slotButton = (index, kind) => `${slot(index)} .${kind}`;

describe('the chord lane pickers with the plug-in', () => {
  let browser;
  let folder;
  let statePath;
  let editor;
  let page;
  let problems;

  // The plug-in's stored entry (it keeps every entry as an object); null while the file
  // is being replaced.
  const stored = (index) => readSavedState(statePath)?.config.progression[index] ?? null;
  const storedChord = (index) => stored(index)?.chord;
  const waitForStored = (what, index, check) =>
    waitFor(what, () => {
      const entry = stored(index);
      return entry !== null && entry !== undefined && check(entry);
    });

  async function setProgression(list) {
    await page.evaluate(async (progression) => {
      const state = JSON.parse(JSON.stringify(TavrenaPage.state()));
      state.config.progression = progression;
      await TavrenaPage.save(state);
    }, list);
    await waitForStored('the progression in the plug-in', list.length - 1, () =>
      readJson(statePath).config.progression.length === list.length);
  }

  // Types into a field as a user does and leaves it (which applies the value). Keys rather
  // than fill(): fill does not reach a field whose validity bubble is showing.
  async function enter(selector, text) {
    await page.focus(selector);
    await page.keyboard.press('Control+A');
    if (text === '') await page.keyboard.press('Backspace');
    else await page.keyboard.type(text);
    await page.keyboard.press('Tab');
  }

  // aria-pressed of the dialog's control with that focus key
  const pressedOf = (key) => page.getAttribute(`${dialog} [data-focus="${key}"]`, 'aria-pressed');

  async function closeDialog() {
    await page.keyboard.press('Escape');
    await page.waitForSelector(dialog, { state: 'detached' });
  }

  before(async () => {
    browser = await launchBrowser();
    mkdirSync(artifacts, { recursive: true });
    folder = tempFolder('tavrena-pickers-');
    statePath = path.join(folder, 's.json');
    editor = await startEditor(['--state', statePath, '--export-dir', folder]);
    ({ page, problems } = await openProductPage(browser, editor.url));
    await setProgression(['Am', 'Fmaj7/A', 'F#m', 'C']);
  });

  after(async () => {
    await page?.close().catch(() => {});
    await stopEditor(editor).catch(() => {});
    await browser?.close();
    if (folder) rmSync(folder, { recursive: true, force: true });
  });

  it('a double click opens the chord picker on its entry; wheel, grid, bass write', async () => {
    await page.dblclick(slotButton(0, 'chord'));
    await page.waitForSelector(dialog);
    assert.equal(await page.getAttribute(dialog, 'aria-label'), 'Chord picker');
    assert.equal(await page.textContent(`${dialog} .picker-title`), 'Chord · circle of fifths');
    assert.match(await page.getAttribute(slot(0), 'class'), /selected/);
    // Am: A highlighted and focused, the minor quality active, no bass.
    assert.equal(await page.getAttribute(segment(9), 'aria-pressed'), 'true');
    const chosen = `${dialog} .wheel-segment[aria-pressed="true"]`;
    assert.equal(await page.$$eval(chosen, (s) => s.length), 1);
    assert.equal(await page.evaluate(() => document.activeElement.dataset.focus), 'segment-9');
    assert.equal(await page.getAttribute(quality('m'), 'aria-pressed'), 'true');
    assert.equal(await page.textContent(`${dialog} .wheel-tones`), 'A · C · E');
    assert.equal(await page.inputValue(`${dialog} select`), '');
    // The grid: 19 qualities, the major one shown by name.
    const labels = await page.$$eval(`${dialog} .quality`, (b) => b.map((x) => x.textContent));
    assert.deepEqual(labels, ['Major', 'm', '7', 'maj7', 'm7', 'mmaj7', 'dim', 'dim7', 'm7b5',
      'aug', 'sus2', 'sus4', '5', '6', 'm6', '9', 'm9', 'maj9', 'add9']);
    const wheel = await page.$$eval(`${dialog} .wheel-label`, (t) => t.map((x) => x.textContent));
    assert.deepEqual(wheel, ['C', 'G', 'D', 'A', 'E', 'B', 'Gb', 'Db', 'Ab', 'Eb', 'Bb', 'F']);

    await page.click(segment(7));
    await waitFor('Gm', () => storedChord(0) === 'Gm');
    await page.click(quality('m7'));
    await waitFor('Gm7', () => storedChord(0) === 'Gm7');
    // The dialog shows the choice from the page's state and stays open.
    assert.equal(await page.getAttribute(quality('m7'), 'aria-pressed'), 'true');
    assert.equal(await page.getAttribute(quality('m'), 'aria-pressed'), 'false');
    assert.equal(await page.getAttribute(segment(7), 'aria-pressed'), 'true');
    assert.equal(await page.textContent(`${dialog} .wheel-chord`), 'Gm7');
    assert.equal(await page.textContent(`${dialog} .wheel-tones`), 'G · Bb · D · F');
    assert.equal(await page.textContent(slotButton(0, 'chord')), 'Gm7');

    await page.selectOption(`${dialog} select`, 'B');
    await waitFor('Gm7/B', () => storedChord(0) === 'Gm7/B');
    await page.click(quality(''));
    await waitFor('G/B', () => storedChord(0) === 'G/B');
    await page.selectOption(`${dialog} select`, '');
    await waitFor('G', () => storedChord(0) === 'G');
    await closeDialog();
  });

  it('"Fmaj7/A" opens with F, maj7 and bass A; the D segment keeps quality and bass', async () => {
    await page.focus(slotButton(1, 'chord'));
    await page.keyboard.press('Enter');
    await page.waitForSelector(dialog);
    assert.equal(await page.getAttribute(segment(5), 'aria-pressed'), 'true');
    assert.equal(await page.getAttribute(quality('maj7'), 'aria-pressed'), 'true');
    assert.equal(await page.inputValue(`${dialog} select`), 'A');
    assert.equal(await page.textContent(`${dialog} .wheel-tones`), 'F · A · C · E');
    await page.click(segment(2));
    await waitFor('Dmaj7/A', () => storedChord(1) === 'Dmaj7/A');
    await closeDialog();
  });

  it('the keyboard chooses on the wheel; the wheel writes flat names', async () => {
    await page.dblclick(slotButton(2, 'chord'));
    await page.waitForSelector(dialog);
    assert.equal(await page.getAttribute(segment(6), 'aria-pressed'), 'true');
    assert.equal(await page.evaluate(() => document.activeElement.dataset.focus), 'segment-6');
    await page.keyboard.press('Enter');
    await waitFor('Gbm', () => storedChord(2) === 'Gbm');
    // Tab moves round the circle; Space chooses; the focus survives the redraw.
    await page.keyboard.press('Tab');
    assert.equal(await page.evaluate(() => document.activeElement.dataset.focus), 'segment-1');
    await page.keyboard.press('Space');
    await waitFor('Dbm', () => storedChord(2) === 'Dbm');
    assert.equal(await page.getAttribute(segment(1), 'aria-pressed'), 'true');
    assert.equal(await page.evaluate(() => document.activeElement.dataset.focus), 'segment-1');
    await closeDialog();
  });

  it('local tempo and metre are stored on the entry; a refused value is explained', async () => {
    await page.dblclick(slotButton(3, 'chord'));
    await page.waitForSelector(dialog);
    const bpm = `${dialog} input[aria-label="Chord BPM"]`;
    const meter = `${dialog} input[aria-label="Chord time signature"]`;
    if (!(await page.isVisible(bpm))) await page.click(`${dialog} summary`);
    assert.equal(await page.getAttribute(bpm, 'placeholder'), '120');
    assert.equal(await page.getAttribute(meter, 'placeholder'), '4/4');

    await enter(bpm, '90');
    await waitForStored('the local tempo', 3, (entry) => entry.bpm === 90);
    // The section stays open across the redraw and shows the stored value.
    assert.equal(await page.inputValue(bpm), '90');

    const before = readFileSync(statePath, 'utf8');
    await enter(bpm, '1000');
    await waitFor('the validity message', async () =>
      (await page.$eval(bpm, (input) => input.validationMessage)) ===
        'Chord BPM: allowed 20…400');
    // The dialog drawn again (here for the language event; a write coming back does the
    // same) keeps the refused value and its message, though the focus has moved on.
    await page.evaluate(() => I18n.setLanguage('en'));
    assert.equal(await page.inputValue(bpm), '1000');
    assert.equal(await page.$eval(bpm, (input) => input.validationMessage),
      'Chord BPM: allowed 20…400');
    assert.equal(await page.evaluate(() => TavrenaPage.state().config.progression[3].bpm), 90);
    await page.waitForTimeout(400);  // a few polls: nothing may have been written
    assert.equal(readFileSync(statePath, 'utf8'), before);
    // Typing again clears the message.
    await page.focus(bpm);
    await page.keyboard.press('Control+A');
    await page.keyboard.type('95');
    assert.equal(await page.$eval(bpm, (input) => input.validationMessage), '');
    await page.keyboard.press('Tab');
    await waitForStored('the corrected tempo', 3, (entry) => entry.bpm === 95);

    await enter(meter, '7/9');
    await waitFor('the metre message', async () =>
      (await page.$eval(meter, (input) => input.validationMessage)).startsWith('Time signature:'));
    await enter(meter, '7/8');
    await waitForStored('the local metre', 3, (entry) => entry.meter === '7/8');

    // An empty field removes the key.
    await enter(bpm, '');
    await waitForStored('no local tempo', 3,
      (entry) => !('bpm' in entry) && entry.meter === '7/8');
    await enter(meter, '');
    await waitForStored('no local metre', 3, (entry) => !('meter' in entry));
    await closeDialog();
  });

  it('the mode picker sets and removes the tonic and the mode, in either spelling', async () => {
    await setProgression(['Gm7', 'C']);
    await page.click(slotButton(0, 'mode'));
    await page.waitForSelector(dialog);
    assert.equal(await page.getAttribute(dialog, 'aria-label'), 'Mode picker');
    const readout = () => page.textContent(`${dialog} .mode-readout`);
    assert.equal(await readout(), 'The generator chooses the mode');
    assert.equal(await pressedOf('tonic-auto'), 'true');
    assert.equal(await pressedOf('mode-auto'), 'true');
    const tonics = () =>
      page.$$eval(`${dialog} .tonic`, (b) => b.map((x) => x.textContent).join(' '));
    assert.equal(await tonics(), 'Auto C C# D D# E F F# G G# A A# B');
    assert.equal(await page.textContent(`${dialog} .spelling`), '♯ → ♭');
    const modes = await page.$$eval(`${dialog} .mode-choice`, (b) => b.map((x) => x.textContent));
    assert.deepEqual(modes, ['Automatic mode', 'Ionian', 'Aeolian', 'Phrygian', 'Lydian',
      'Locrian', 'Melodic minor', 'Phrygian dominant', 'Major', 'Minor', 'Harmonic minor',
      'Dorian', 'Mixolydian', 'Minor pentatonic', 'Major pentatonic', 'Blues']);

    await page.click(`${dialog} [data-focus="tonic-3"]`);
    await waitForStored('D# as the tonic', 0, (entry) => entry.scale_root === 'D#');
    await page.click(`${dialog} [data-focus="mode-dorian"]`);
    await waitForStored('the dorian mode', 0, (entry) => entry.scale === 'dorian');
    assert.equal(await page.textContent(slotButton(0, 'mode')), 'D# Dorian');
    assert.equal(await readout(), 'D# · F · F# · G# · A# · C · C#');
    assert.equal(await pressedOf('tonic-3'), 'true');

    // The switch respells the names and the readout; a name chosen now is written flat.
    await page.click(`${dialog} .spelling`);
    assert.equal(await page.textContent(`${dialog} .spelling`), '♭ → ♯');
    assert.equal(await tonics(), 'Auto C Db D Eb E F Gb G Ab A Bb B');
    assert.equal(await readout(), 'Eb · F · Gb · Ab · Bb · C · Db');
    assert.equal(await pressedOf('tonic-3'), 'true');
    assert.equal(await page.evaluate(() => document.activeElement.dataset.focus), 'spelling');
    await page.click(`${dialog} [data-focus="tonic-10"]`);
    await waitForStored('Bb as the tonic', 0, (entry) => entry.scale_root === 'Bb');

    // Without a tonic the readout starts from the chord's root.
    await page.click(`${dialog} [data-focus="tonic-auto"]`);
    await waitForStored('no tonic', 0, (entry) => !('scale_root' in entry));
    assert.equal(await readout(), 'G · A · Bb · C · D · E · F');
    assert.equal(await page.textContent(slotButton(0, 'mode')), ' Dorian');
    await page.click(`${dialog} [data-focus="mode-auto"]`);
    await waitForStored('no mode', 0, (entry) => !('scale' in entry) && entry.chord === 'Gm7');
    assert.equal(await page.textContent(slotButton(0, 'mode')), ' Auto · mode');
    assert.equal(await readout(), 'The generator chooses the mode');
    await closeDialog();
  });

  it('Escape and a press outside close the dialog and give the focus back', async () => {
    await page.focus(slotButton(1, 'chord'));
    await page.keyboard.press('Enter');
    await page.waitForSelector(dialog);
    await page.keyboard.press('Escape');
    await page.waitForSelector(dialog, { state: 'detached' });
    assert.equal(await page.isHidden('#picker-layer'), true);
    assert.equal(await page.evaluate(() =>
      document.activeElement.closest('.slot')?.dataset.index + document.activeElement.className),
    '1chord');

    await page.click(slotButton(0, 'mode'));
    await page.waitForSelector(dialog);
    await page.mouse.click(20, 480);  // the layer, left of the dialog
    await page.waitForSelector(dialog, { state: 'detached' });
    assert.equal(await page.evaluate(() =>
      document.activeElement.closest('.slot')?.dataset.index + document.activeElement.className),
    '0mode');
    assert.deepEqual(problems, []);
  });

  it('looks right in both languages (screenshots)', async () => {
    await setProgression(['Am', { chord: 'Fmaj7/A', bpm: 96 }, 'C', 'G']);
    await page.dblclick(slotButton(1, 'chord'));
    await page.waitForSelector(dialog);
    await page.screenshot({ path: path.join(artifacts, 'chord-picker-en.png') });
    await page.evaluate(() => I18n.setLanguage('ru'));
    await waitFor('the dialog in Russian', async () =>
      (await page.getAttribute(dialog, 'aria-label')) === 'Выбор аккорда');
    await page.screenshot({ path: path.join(artifacts, 'chord-picker-ru.png') });
    await page.evaluate(() => I18n.setLanguage('en'));
    await closeDialog();
    await page.click(slotButton(2, 'mode'));
    await page.waitForSelector(dialog);
    await page.click(`${dialog} [data-focus="tonic-0"]`);
    await page.click(`${dialog} [data-focus="mode-lydian"]`);
    await waitForStored('C lydian', 2, (entry) => entry.scale === 'lydian');
    await page.screenshot({ path: path.join(artifacts, 'mode-picker-en.png') });
    await closeDialog();
    assert.deepEqual(problems, []);
  });
});
