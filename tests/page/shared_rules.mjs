// The page's validateConfig and the engine's normalizeConfig (through config_oracle,
// TAVRENA_CONFIG_ORACLE) judge one corpus: configurations generated valid from a fixed
// seed, and single-rule breaks of them. Both must accept and refuse the same documents,
// each refusal with its own specified message. Run by ctest as page.shared_rules.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { loadPage } from './load.mjs';

const { TavrenaConfig: page, TavrenaSchema: schema } =
  loadPage(['schema.js', 'config.js']);
const oracle = process.env.TAVRENA_CONFIG_ORACLE;
if (!oracle) throw new Error('TAVRENA_CONFIG_ORACLE must name the built config_oracle');

function pageVerdict(doc) {
  try {
    page.validateConfig(doc);
    return null;
  } catch (error) {
    return error.message;
  }
}

function engineVerdicts(docs) {
  const out = execFileSync(oracle, { input: docs.map((d) => JSON.stringify(d)).join('\n') + '\n' });
  return out.toString('utf8').trim().split('\n').map((line) => JSON.parse(line).error ?? null);
}

// ---- Valid configurations from a seeded generator ----

function random(seed) {  // mulberry32
  return () => {
    seed = (seed + 0x6d2b79f5) | 0;
    let t = Math.imul(seed ^ (seed >>> 15), 1 | seed);
    t = (t + Math.imul(t ^ (t >>> 7), 61 | t)) ^ t;
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}
const next = random(20261210);
const pick = (list) => list[Math.floor(next() * list.length)];
const chance = (p) => next() < p;
const between = (low, high) => low + Math.floor(next() * (high - low + 1));

const ROOTS = ['C', 'c#', 'Db', 'd', 'Eb', 'E', 'f', 'F#', 'Gb', 'g', 'Ab', 'a', 'Bb', 'B', 'Cb', 'E#'];
const QUALITIES = ['', 'm', '7', 'maj7', 'M7', 'm7', 'min7', 'mM7', 'dim', 'dim7', 'm7b5', 'aug',
  'sus2', 'sus4', '5', '6', 'm6', '9', 'M9', 'maj9', 'add9', 'major', 'minor', 'MIN'.toLowerCase()];
const BLANKS = ['', ' ', '\t', ' \r\n'];
const METERS = ['4/4', '3/4', '6/8', '7/8', '1/32', '32/1', '04/4', '12/16', '5/2'];
const SCALES = ['ionian', 'major', 'minor', 'dorian', 'blues', 'harmonic_minor', 'phrygian_dominant'];
const NOTES = ['C', 'c', 'C#', 'Db', 'e', 'Fb', 'B#', 'bb', 'G'];

function chord() {
  const bass = chance(0.2) ? `/${pick(NOTES)}` : '';
  return `${pick(BLANKS)}${pick(ROOTS)}${pick(QUALITIES)}${bass}${pick(BLANKS)}`;
}

function entry() {
  if (chance(0.3)) return chord();
  const e = { chord: chord() };
  if (chance(0.5)) e.bars = pick([1 / 32, 0.25, 0.5, 1, 1.5, 2, 2.5, 4, 256]);
  if (chance(0.3)) e.bpm = pick([20, 400, 96.5, 140]);
  if (chance(0.3)) e.meter = pick(METERS);
  if (chance(0.3)) e.scale = pick(SCALES);
  if (chance(0.3)) e.scale_root = pick(NOTES);
  return e;
}

function solo() {
  const s = {};
  for (const field of page.SOLO_FIELDS) {
    if (!chance(0.3) || field.key === 'low_note' || field.key === 'high_note') continue;
    if (field.control === 'switch') s[field.key] = chance(0.5);
    else if (field.integer) s[field.key] = between(field.min, field.max);
    else s[field.key] = pick([field.min, field.max, (field.min + field.max) / 2]);
  }
  const low = between(40, 76);
  if (chance(0.5)) Object.assign(s, { low_note: low, high_note: between(low + 12, 88) });
  if (chance(0.3) && !('rest_probability' in s)) s.rest_amount = 0.5;
  return s;
}

function validConfig() {
  const c = { progression: Array.from({ length: between(1, 8) }, entry) };
  // Whole measures, as the engine counts them.
  const pieces = c.progression.reduce((sum, e) =>
    sum + Math.ceil(typeof e === 'string' ? 1 : e.bars ?? 1), 0);
  if (chance(0.5)) c.repeats = between(1, Math.min(128, Math.floor(4096 / pieces)));
  if (chance(0.5)) c.bpm = pick([20, 400, 120, 87.25]);
  if (chance(0.5)) c.meter = pick(METERS);
  if (chance(0.4)) c.key = pick([...NOTES, null]);
  if (chance(0.4)) c.scale = pick(SCALES);
  if (chance(0.5)) c.seed = pick([null, 0, 42, 4.0, 9007199254740991]);
  if (chance(0.4)) c.harmony = pick(schema.config.fields.harmony.values);
  if (chance(0.4)) c.output = pick(['solo.mid', ' x ', '\u00a0', 'dir/ü.mid']);
  if (chance(0.6)) c.solo = solo();
  return c;
}

// ---- Single-rule breaks: [name, change of a valid base, page message, engine message] ----

const METER_TEXT = 'Размер: числитель 1…32, знаменатель 1, 2, 4, 8, 16 или 32';
const NOTE_TEXT = 'Тоника: нота от C до B, допустимы # и b';
const typeError = (path, type) =>
  `[json.exception.type_error.302] ${path}: type must be string, but is ${type}`;
const set = (key, value) => (c) => ({ ...c, [key]: value });
const firstEntry = (value) => (c) => ({ ...c, progression: [value, ...c.progression.slice(1)] });
const withEntry = (patch) => firstEntry({ chord: 'C', ...patch });
const withSolo = (s) => set('solo', s);

const BREAKS = [
  ['a number', () => 5, 'Конфиг должен быть объектом', 'config must be an object'],
  ['null', () => null, 'Конфиг должен быть объектом', 'config must be an object'],
  ['an unknown key', set('tempo', 90), 'Неизвестное поле tempo', 'config: unknown field tempo'],
  ['bpm low', set('bpm', 19.5), 'BPM: допустимо 20…400', 'bpm: out of range'],
  ['bpm high', set('bpm', 400.01), 'BPM: допустимо 20…400', 'bpm: out of range'],
  ['bpm text', set('bpm', '120'), 'BPM: допустимо 20…400', 'bpm: expected number'],
  ['bpm boolean', set('bpm', true), 'BPM: допустимо 20…400', 'bpm: expected number'],
  ['meter 4/3', set('meter', '4/3'), METER_TEXT, 'Invalid meter'],
  ['meter 33/4', set('meter', '33/4'), METER_TEXT, 'Invalid meter'],
  ['meter 0/4', set('meter', '0/4'), METER_TEXT, 'Invalid meter'],
  ['meter 4-4', set('meter', '4-4'), METER_TEXT, 'meter must be N/D'],
  ['meter with a blank', set('meter', '4/4 '), METER_TEXT, 'meter must be N/D'],
  ['meter a number', set('meter', 4), METER_TEXT, 'meter must be N/D'],
  ['meter past 32 bits', set('meter', '99999999999/4'), METER_TEXT, 'stoi argument out of range'],
  ['repeats 0', set('repeats', 0), 'Повторы: допустимо 1…128 (целое)', 'repeats: out of range'],
  ['repeats 1.5', set('repeats', 1.5), 'Повторы: допустимо 1…128 (целое)', 'repeats: out of range'],
  ['repeats 129', set('repeats', 129), 'Повторы: допустимо 1…128 (целое)', 'repeats: out of range'],
  ['seed -1', set('seed', -1), 'Seed: допустимо 0…9007199254740991 (целое)', 'seed: out of range'],
  ['seed 2^53', set('seed', 9007199254740992), 'Seed: допустимо 0…9007199254740991 (целое)',
    'seed: out of range'],
  ['seed text', set('seed', '7'), 'Seed: допустимо 0…9007199254740991 (целое)', 'seed: expected number'],
  ['key H', set('key', 'H'), NOTE_TEXT, 'Invalid note: H'],
  ['key C##', set('key', 'C##'), NOTE_TEXT, 'Invalid note: C##'],
  ['key empty', set('key', ''), NOTE_TEXT, 'Invalid note: '],
  ['key a number', set('key', 5), NOTE_TEXT, typeError('key', 'number')],
  ['scale unknown', set('scale', 'lydian_dominant'), 'Неизвестный лад', 'Unknown scale'],
  ['scale in capitals', set('scale', 'Major'), 'Неизвестный лад', 'Unknown scale'],
  ['scale null', set('scale', null), 'Неизвестный лад', typeError('scale', 'null')],
  ['harmony', set('harmony', 'local'), 'harmony: global или chord_modes', 'Invalid harmony'],
  ['harmony null', set('harmony', null), 'harmony: global или chord_modes', typeError('harmony', 'null')],
  ['output of blanks', set('output', ' \t\r\n'), 'Нужно непустое имя MIDI', 'output must be a non-empty path'],
  ['output empty', set('output', ''), 'Нужно непустое имя MIDI', 'output must be a non-empty path'],
  ['output a number', set('output', 1), 'Нужно непустое имя MIDI', typeError('output', 'number')],
  ['no progression', ({ progression, ...rest }) => rest, 'Нужна непустая progression',
    'progression must be a non-empty array'],
  ['empty progression', set('progression', []), 'Нужна непустая progression',
    'progression must be a non-empty array'],
  ['progression a text', set('progression', 'C'), 'Нужна непустая progression',
    'progression must be a non-empty array'],
  ['entry a number', firstEntry(7), 'Некорректная строка прогрессии', 'progression item must be an object'],
  ['entry an array', firstEntry(['C']), 'Некорректная строка прогрессии',
    'progression item must be an object'],
  ['entry key', withEntry({ length: 2 }), 'Неизвестное поле progression.length',
    'progression item: unknown field length'],
  ['chord H7', firstEntry('H7'), 'Некорректный аккорд: H7', 'Invalid chord: H7'],
  ['chord C/H', firstEntry('C/H'), 'Некорректный аккорд: C/H', 'Invalid chord: C/H'],
  ['chord Cmaj13', firstEntry('Cmaj13'), 'Некорректный аккорд: Cmaj13', 'Unsupported chord: Cmaj13'],
  ['chord CMaj7', firstEntry('CMaj7'), 'Некорректный аккорд: CMaj7', 'Unsupported chord: CMaj7'],
  ['chord C7sus4', firstEntry({ chord: 'C7sus4' }), 'Некорректный аккорд: C7sus4',
    'Unsupported chord: C7sus4'],
  // Only blank, tab, CR and LF are trimmed: a no-break space is part of the chord.
  ['chord after a no-break space', firstEntry('\u00a0C'), 'Некорректный аккорд: \u00a0C',
    'Invalid chord: \u00a0C'],
  ['chord before a form feed', firstEntry('Am\f'), 'Некорректный аккорд: Am\f', 'Unsupported chord: Am\\u000c'],
  ['no chord', firstEntry({ bars: 2 }), 'Некорректный аккорд: ',
    "[json.exception.out_of_range.403] progression[0]: key 'chord' not found"],
  ['bars 0.03', withEntry({ bars: 0.03 }), 'Такты: допустимо 0.03125…256', 'bars: out of range'],
  ['bars 256.5', withEntry({ bars: 256.5 }), 'Такты: допустимо 0.03125…256', 'bars: out of range'],
  ['bars text', withEntry({ bars: '1' }), 'Такты: допустимо 0.03125…256', 'bars: expected number'],
  ['chord bpm', withEntry({ bpm: 401 }), 'BPM аккорда: допустимо 20…400', 'chord bpm: out of range'],
  ['chord bpm null', withEntry({ bpm: null }), 'BPM аккорда: допустимо 20…400', 'chord bpm: expected number'],
  ['entry meter', withEntry({ meter: '4/5' }), METER_TEXT, 'Invalid meter'],
  ['entry scale', withEntry({ scale: 'x' }), 'Неизвестный лад', 'Unknown scale'],
  ['entry scale root', withEntry({ scale_root: 'X' }), NOTE_TEXT, 'Invalid note: X'],
  ['4097 bars with repeats', (c) => ({ ...c, progression: [{ chord: 'C', bars: 256 }], repeats: 17 }),
    'Не больше 4096 тактов с повторами', 'Progression exceeds 4096 bars'],
  ['4097 bars in entries', (c) => ({ ...c, progression: [...Array(16).fill({ chord: 'C', bars: 256 }), 'G'],
    repeats: 1 }), 'Не больше 4096 тактов с повторами', 'Progression exceeds 4096 bars'],
  ['solo null', withSolo(null), 'solo должен быть объектом', 'solo must be an object'],
  ['solo an array', withSolo([]), 'solo должен быть объектом', 'solo must be an object'],
  ['solo key', withSolo({ swing: 1 }), 'Неизвестное поле solo.swing', 'Unknown solo field: swing'],
  ['solo alias twice', withSolo({ rest_amount: 0.2, rest_probability: 0.2 }),
    'Повторное поле solo.rest_probability', 'Duplicate solo alias'],
  ['bends', withSolo({ bends: 1 }), 'bends: true или false', 'solo.bends must be boolean'],
  ['slides', withSolo({ slides: null }), 'slides: true или false', 'solo.slides must be boolean'],
  ['octave', withSolo({ low_note: 60, high_note: 71 }), 'Диапазон нот должен быть не меньше октавы',
    'Note range must span at least an octave'],
  ['octave by default high', withSolo({ low_note: 73 }), 'Диапазон нот должен быть не меньше октавы',
    'Note range must span at least an octave'],
];

// Every numeric solo field just outside each bound, off the integers, and as text.
function soloNumberBreaks() {
  const breaks = [];
  for (const f of page.SOLO_FIELDS) {
    if (f.control === 'switch') continue;
    const text = `${f.key}: допустимо ${f.min}…${f.max}${f.integer ? ' (целое)' : ''}`;
    const bad = [f.min - 0.01, f.max + 0.01, ...(f.integer ? [f.min + 0.5] : [])];
    for (const value of bad) {
      breaks.push([`${f.key} ${value}`, withSolo({ [f.key]: value }), text, `solo.${f.key}: out of range`]);
    }
    breaks.push([`${f.key} text`, withSolo({ [f.key]: '1' }), text, `solo.${f.key}: expected number`]);
  }
  return breaks;
}

// ---- The corpus ----

const valid = Array.from({ length: 300 }, validConfig);
const breaks = [...BREAKS, ...soloNumberBreaks()];
const broken = [];
breaks.forEach(([name, change, pageText, engineText], i) => {
  for (let k = 0; k < 3; ++k) {
    broken.push({ name, doc: change(valid[(i * 3 + k) % valid.length]), pageText, engineText });
  }
});

test('the page and the engine accept every generated configuration', () => {
  const engine = engineVerdicts(valid);
  valid.forEach((doc, i) => {
    assert.equal(pageVerdict(doc), null, `page: ${JSON.stringify(doc)}`);
    assert.equal(engine[i], null, `engine: ${JSON.stringify(doc)}`);
  });
});

test('the page and the engine refuse every single-rule break, each with its own message', () => {
  const engine = engineVerdicts(broken.map((b) => b.doc));
  broken.forEach((b, i) => {
    assert.equal(pageVerdict(b.doc), b.pageText, `page, ${b.name}: ${JSON.stringify(b.doc)}`);
    assert.equal(engine[i], b.engineText, `engine, ${b.name}: ${JSON.stringify(b.doc)}`);
  });
  assert.ok(broken.length > 300);
});

test('the two differences the rules allow', () => {
  // A bare array is a configuration to the engine; the page converts one on import first.
  const bare = ['C', 'G'];
  assert.deepEqual(engineVerdicts([bare]), [null]);
  assert.equal(pageVerdict(bare), 'Конфиг должен быть объектом');
  // The page counts bars, the engine the pieces of whole measures they take.
  const halves = { progression: Array(4097).fill({ chord: 'C', bars: 0.5 }) };
  assert.equal(pageVerdict(halves), null);
  assert.deepEqual(engineVerdicts([halves]), ['Progression exceeds 4096 bars']);
});
