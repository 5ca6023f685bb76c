// The settings tab's pure helpers, loaded with the page script (for its field table and
// validation) and the translator in one bare script context, without a document.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { loadPage } from './load.mjs';

const context = loadPage(['i18n.js', 'schema.js', 'config.js', 'timeline.js', 'pickers.js',
  'settings.js']);
const settings = context.TavrenaSettings;
const page = context.TavrenaConfig;

test('the Russian bar word over 1…120 and for fractions', () => {
  const expected = (n) => {
    const [ones, tens] = [n % 10, n % 100];
    if (tens >= 11 && tens <= 14) return 'тактов';
    return ones === 1 ? 'такт' : ones >= 2 && ones <= 4 ? 'такта' : 'тактов';
  };
  for (let n = 1; n <= 120; ++n) assert.equal(settings.barWord(n), expected(n), `n = ${n}`);
  // Spot rows, boundaries beside ordinary cases.
  const rows = [[1, 'такт'], [2, 'такта'], [5, 'тактов'], [11, 'тактов'], [12, 'тактов'],
    [21, 'такт'], [22, 'такта'], [111, 'тактов'], [112, 'тактов'], [101, 'такт'],
    [0, 'тактов'], [2.5, 'тактов'], [1.5, 'тактов'], [0.125, 'тактов'], [21.25, 'тактов']];
  for (const [n, word] of rows) assert.equal(settings.barWord(n), word, `n = ${n}`);
  assert.equal(settings.barsText(2.5), '2.5 тактов');
  // The translator reads the composed entries back in both languages.
  assert.equal(context.I18n.t(settings.barsText(2.5)), '2.5 bars');
  assert.equal(context.I18n.t(settings.barsText(1)), '1 bar');
});

test('note names of the range selects and the fixed option lists', () => {
  const names = Object.fromEntries([40, 43, 55, 60, 61, 84, 88].map((n) =>
    [n, settings.noteName(n)]));
  assert.deepEqual({ ...names },
    { 40: 'E2', 43: 'G2', 55: 'G3', 60: 'C4', 61: 'C#4', 84: 'C6', 88: 'E6' });
  const meters = settings.meterChoices();
  assert.equal(meters.length, 192);
  assert.deepEqual([meters[0], meters[5], meters[6], meters[191]],
    ['1/1', '1/32', '2/1', '32/32']);
  // Every offered metre and root passes the page's own check.
  for (const meter of meters) page.validateConfig({ progression: ['C'], meter });
  for (const key of settings.KEY_ROOTS) page.validateConfig({ progression: ['C'], key });
  assert.equal(settings.KEY_ROOTS.length, 17);
});

test('the General MIDI list: 128 programs in 16 families of 8', () => {
  const programs = settings.GM_PROGRAMS;
  assert.equal(programs.length, 128);
  assert.equal(new Set(programs).size, 128);
  assert.equal(programs[0], 'Acoustic Grand Piano');
  assert.equal(programs[29], 'Overdriven Guitar');
  assert.equal(programs[30], 'Distortion Guitar');
  assert.equal(programs[127], 'Gunshot');
  // Family boundaries: the first program of each family belongs to it.
  const firsts = [[0, 'Фортепиано', 'Acoustic Grand Piano'],
    [24, 'Гитары', 'Acoustic Guitar (nylon)'],
    [32, 'Басы', 'Acoustic Bass'], [40, 'Струнные', 'Violin'], [56, 'Медные духовые', 'Trumpet'],
    [80, 'Синтезаторные лиды', 'Lead 1 (square)'], [104, 'Этнические', 'Sitar'],
    [120, 'Звуковые эффекты', 'Guitar Fret Noise']];
  for (const [program, family, name] of firsts) {
    assert.equal(settings.GM_FAMILIES[settings.familyOf(program)], family);
    assert.equal(programs[program], name);
  }
  assert.equal(settings.familyOf(31), 3);
  assert.equal(settings.GM_FAMILIES.length, 16);
  // Program names stay as written in both languages; family names are all translatable.
  for (const name of programs) assert.equal(context.I18n.t(name), name);
  for (const family of settings.GM_FAMILIES) assert.notEqual(context.I18n.t(family), family);
});

test('automatic key and mode from the first chord', () => {
  const rows = [['Am', 'A', 'minor'], ['Amin7', 'A', 'minor'], ['F#minor', 'F#', 'minor'],
    ['Cmaj7', 'C', 'major'], ['CM7', 'C', 'major'], ['Ebmmaj7', 'Eb', 'minor'],
    ['G', 'G', 'major'],
    ['E7', 'E', 'major'], [' Dm ', 'D', 'minor'], ['Bbm7b5/F', 'Bb', 'minor'], ['', 'C', 'major'],
    ['x', 'C', 'major'], [undefined, 'C', 'major']];
  for (const [chord, root, scale] of rows) {
    assert.deepEqual({ ...settings.autoKeyMode(chord) }, { root, scale }, `chord ${chord}`);
  }
});

test('progression length and scaling every entry by the chosen length', () => {
  assert.equal(settings.progressionBars(32, 4), 8);
  assert.equal(settings.progressionBars(10, 4), 2.5);
  assert.equal(settings.progressionBars(4, 3), 1.333);
  const scaled = settings.scaleProgression(['Am', { chord: 'F', bars: 2, meter: '3/4' }], 0.5);
  assert.deepEqual(JSON.parse(JSON.stringify(scaled)),
    [{ chord: 'Am', bars: 0.5 }, { chord: 'F', bars: 1, meter: '3/4' }]);
  // The original entries are left alone.
  const original = [{ chord: 'C', bars: 4 }];
  settings.scaleProgression(original, 2);
  assert.equal(original[0].bars, 4);
});

test('solo values under the key, an alias, or the default; canonical JSON', () => {
  const field = (key) => page.SOLO_FIELDS.find((f) => f.key === key);
  const aliases = page.SOLO_ALIASES;
  assert.equal(settings.soloValue({ rest_amount: 0.2 }, field('rest_probability'), aliases), 0.2);
  assert.equal(settings.soloValue({ rest_probability: 0.3 }, field('rest_probability'), aliases),
    0.3);
  assert.equal(settings.soloValue({}, field('rest_probability'), aliases), 0.15);
  assert.equal(settings.soloValue(undefined, field('program'), aliases), 30);
  assert.equal(settings.soloValue({ bends: false }, field('bends'), aliases), false);
  assert.equal(settings.percentText(0.75), '75%');
  assert.equal(settings.percentText('0.08'), '8%');
  assert.equal(settings.canonicalJson({ b: 1, a: [{ d: null, c: 'x' }] }),
    settings.canonicalJson({ a: [{ c: 'x', d: null }], b: 1 }));
  assert.notEqual(settings.canonicalJson({ a: [1, 2] }), settings.canonicalJson({ a: [2, 1] }));
});

// Readings as the page takes them from the form: preferences, then every card field.
function formReadings(overrides = {}) {
  const list = [
    { group: 'global', key: 'harmony', kind: 'select', value: 'chord_modes' },
    { group: 'global', key: 'repeats', kind: 'number', value: '1' },
    { group: 'global', key: 'seed', kind: 'number', value: '42' },
    { group: 'global', key: 'output', kind: 'text', value: 'solo.mid' },
  ];
  for (const f of page.SOLO_FIELDS) {
    const kind = f.control === 'switch' ? 'switch' : f.control === 'number' ? 'number' : 'select';
    list.push({ group: 'solo', key: f.key, kind, value: String(f.def), checked: f.def === true });
  }
  return list.map((r) => ({ ...r, ...(overrides[r.key] || {}) }));
}

function fromForm(config, overrides) {
  try {
    return JSON.parse(JSON.stringify(settings.configFromForm(config, formReadings(overrides),
      page.validateConfig)));
  } catch (error) {
    return error.message;
  }
}

test('building the configuration from the form', () => {
  const imported = { progression: ['Am', 'E7'], bpm: 90, key: 'A',
    solo: { rest_amount: 0.2, modal_color_weight: 0.5, bends: false } };
  const built = fromForm(imported, { seed: { value: '' }, output: { value: '' },
    repeats: { value: '12' }, bends: { checked: false } });
  // Untouched keys survive; empty seed is null, empty output is removed.
  assert.deepEqual(built.progression, ['Am', 'E7']);
  assert.equal(built.bpm, 90);
  assert.equal(built.key, 'A');
  assert.equal(built.seed, null);
  assert.equal('output' in built, false);
  assert.equal(built.repeats, 12);
  // All 20 fields under their own names, typed; the old aliases are gone.
  assert.deepEqual([...Object.keys(built.solo)].sort(),
    [...page.SOLO_FIELDS.map((f) => f.key)].sort());
  assert.equal(built.solo.rest_probability, 0.15, 'the form, not the old alias, gives the value');
  assert.equal(built.solo.bends, false);
  assert.equal(built.solo.slides, true);
  assert.equal(built.solo.program, 30);
  assert.equal(typeof built.solo.density, 'number');

  assert.equal(fromForm(imported, { repeats: { value: '' } }).repeats, undefined);
  assert.equal(fromForm(imported, { seed: { value: '7' } }).seed, 7);
});

test('the form refuses what it cannot read, empty card numbers and invalid values', () => {
  const base = { progression: ['C'] };
  // A number the browser could not read, in a preference or a card.
  assert.equal(fromForm(base, { repeats: { value: '', bad: true } }), 'Введите корректное число');
  assert.equal(fromForm(base, { velocity: { value: '', bad: true } }), 'Введите корректное число');
  assert.equal(fromForm(base, { velocity: { value: 'abc' } }), 'Введите корректное число');
  // An empty card number cannot fall back to a default; an empty preference can.
  assert.equal(fromForm(base, { phrase_bars: { value: '' } }), 'Заполните числовое поле');
  assert.equal(fromForm(base, { velocity: { value: '  ' } }), 'Заполните числовое поле');
  // The page's own validation decides the rest, with its messages.
  assert.equal(fromForm(base, { low_note: { value: '80' }, high_note: { value: '84' } }),
    'Диапазон нот должен быть не меньше октавы');
  assert.equal(fromForm(base, { repeats: { value: '1.5' } }), 'Повторы: допустимо 1…128 (целое)');
  assert.equal(fromForm(base, { output: { value: '   ' } }), 'Нужно непустое имя MIDI');
  assert.equal(fromForm(base, { velocity: { value: '128' } }),
    'velocity: допустимо 1…127 (целое)');
  assert.equal(fromForm(base, { humanize_ms: { value: '9.5' } }).solo.humanize_ms, 9.5);
});
