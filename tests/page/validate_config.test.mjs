// The page's own check of a configuration: every rule's message, in the order the
// rules are tried, on the page script itself (loaded without a document).
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { loadPage } from './load.mjs';

const context = loadPage(['schema.js', 'config.js', 'timeline.js']);
const page = { ...context.TavrenaConfig, ...context.TavrenaTimeline };

function refusal(config) {
  try {
    page.validateConfig(config);
  } catch (error) {
    return error.message;
  }
  return null;
}

const base = () => JSON.parse(JSON.stringify(page.defaultConfig()));
const withEntry = (entry) => ({ progression: [entry] });

test('the default configuration and the initial state are valid and complete', () => {
  assert.equal(refusal(base()), null);
  const solo = base().solo;
  assert.equal(Object.keys(solo).length, 20);
  assert.equal(solo.program, 30);
  assert.equal(solo.bends, true);
  const state = page.initialState();
  assert.equal(Object.keys(state).join(), 'version,config,sync,loop,variation,variants');
  assert.equal('key' in state.config || 'scale' in state.config, false);
});

test('top-level rules report their messages', () => {
  const cases = [
    [[], 'Конфиг должен быть объектом'],
    [null, 'Конфиг должен быть объектом'],
    [{ progression: ['C'], tempo: 1 }, 'Неизвестное поле tempo'],
    [{ progression: ['C'], bpm: 19.9 }, 'BPM: допустимо 20…400'],
    [{ progression: ['C'], bpm: '120' }, 'BPM: допустимо 20…400'],
    [{ progression: ['C'], meter: '33/4' }, 'Размер: числитель 1…32, знаменатель 1, 2, 4, 8, 16 или 32'],
    [{ progression: ['C'], meter: '4/3' }, 'Размер: числитель 1…32, знаменатель 1, 2, 4, 8, 16 или 32'],
    [{ progression: ['C'], repeats: 1.5 }, 'Повторы: допустимо 1…128 (целое)'],
    [{ progression: ['C'], seed: -1 }, 'Seed: допустимо 0…9007199254740991 (целое)'],
    [{ progression: ['C'], key: 'H' }, 'Тоника: нота от C до B, допустимы # и b'],
    [{ progression: ['C'], scale: 'lydian_dominant' }, 'Неизвестный лад'],
    [{ progression: ['C'], harmony: 'local' }, 'harmony: global или chord_modes'],
    [{ progression: ['C'], output: '  ' }, 'Нужно непустое имя MIDI'],
    [{ progression: [] }, 'Нужна непустая progression'],
    [{ bpm: 90 }, 'Нужна непустая progression'],
  ];
  for (const [config, expected] of cases) assert.equal(refusal(config), expected, JSON.stringify(config));
  // Absent or null seed and key are allowed; the order of rules decides which is shown.
  assert.equal(refusal({ progression: ['C'], seed: null, key: null }), null);
  assert.equal(refusal({ progression: [], bpm: 10 }), 'BPM: допустимо 20…400');
});

test('progression entries: shape, keys, chords and numbers', () => {
  const cases = [
    [withEntry(7), 'Некорректная строка прогрессии'],
    [withEntry(['C']), 'Некорректная строка прогрессии'],
    [withEntry({ chord: 'C', length: 2 }), 'Неизвестное поле progression.length'],
    [withEntry({ bars: 2 }), 'Некорректный аккорд: '],
    [withEntry('H7'), 'Некорректный аккорд: H7'],
    [withEntry('C/G7'), 'Некорректный аккорд: C/G7'],
    [withEntry('Cmaj13'), 'Некорректный аккорд: Cmaj13'],
    [withEntry('AbMaj9'), 'Некорректный аккорд: AbMaj9'],
    [withEntry({ chord: 'C', bars: 0.03 }), 'Такты: допустимо 0.03125…256'],
    [withEntry({ chord: 'C', bpm: 401 }), 'BPM аккорда: допустимо 20…400'],
    [withEntry({ chord: 'C', meter: '0/4' }), 'Размер: числитель 1…32, знаменатель 1, 2, 4, 8, 16 или 32'],
    [withEntry({ chord: 'C', scale: 'dorian', scale_root: 'X' }), 'Тоника: нота от C до B, допустимы # и b'],
    [{ progression: [{ chord: 'C', bars: 256 }, { chord: 'G', bars: 1 / 32 }], repeats: 16 }, 'Не больше 4096 тактов с повторами'],
  ];
  for (const [config, expected] of cases) assert.equal(refusal(config), expected, JSON.stringify(config));
  for (const chord of ['C', ' Bbm7 ', 'F#m7b5', 'CM7', 'AbM9', 'Dsus4/A', 'e', 'Gadd9/F#', 'Bdim7']) {
    assert.equal(refusal(withEntry(chord)), null, chord);
  }
  assert.equal(refusal(withEntry({ chord: 'C', bars: 1 / 32 })), null);
  assert.equal(refusal({ progression: [{ chord: 'C', bars: 256 }], repeats: 16 }), null);
});

test('solo fields: aliases, duplicates, types, bounds and the octave', () => {
  const solo = (fields) => ({ progression: ['C'], solo: fields });
  const cases = [
    [solo([]), 'solo должен быть объектом'],
    [solo({ swing: 1 }), 'Неизвестное поле solo.swing'],
    [solo({ rest_amount: 0.2, rest_probability: 0.2 }), 'Повторное поле solo.rest_probability'],
    [solo({ bends: 1 }), 'bends: true или false'],
    [solo({ density: 0.05 }), 'density: допустимо 0.1…1'],
    [solo({ velocity: 90.5 }), 'velocity: допустимо 1…127 (целое)'],
    [solo({ low_note: 80, high_note: 84 }), 'Диапазон нот должен быть не меньше октавы'],
  ];
  for (const [config, expected] of cases) assert.equal(refusal(config), expected, JSON.stringify(config));
  assert.equal(refusal(solo({ rest_amount: 0.2, humanize_ms: 12.5 })), null);
  assert.equal(refusal(solo({ low_note: 72, high_note: 84 })), null);
});

test('the timeline splits entries into bars at their tempo and rounds to ticks', () => {
  const config = { progression: [{ chord: 'C', bars: 1.5, bpm: 90 }, { chord: 'G', meter: '3/4' }], bpm: 120, repeats: 2 };
  const bars = page.timelineOf(config);
  assert.deepEqual(JSON.parse(JSON.stringify(bars.map((b) => [b.start, b.length, b.bpm]))), [
    [0, 4, 90], [4, 2, 90], [6, 3, 120], [9, 4, 90], [13, 2, 90], [15, 3, 120],
  ]);
  assert.equal(page.totalOf(config), 18);
  assert.equal(page.totalOf({ progression: [] }), 1);
});
