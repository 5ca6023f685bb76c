// The pickers' note, chord and mode arithmetic and the circle's geometry, on the page
// script itself (loaded without a document). Expected values are worked by hand.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import vm from 'node:vm';
import { loadPage, pageScript } from './load.mjs';

// Loaded in this realm so that its arrays compare with ours.
vm.runInThisContext(pageScript('schema.js'));
vm.runInThisContext(pageScript('pickers.js'));
const chords = globalThis.TavrenaChords;
const page = loadPage(['schema.js', 'config.js']).TavrenaConfig;

const names = (pcs, flats = true) => chords.noteNames(pcs, flats).join(' ');

test('pitch class: letter in either case, one accidental, modulo 12; anything else is C', () => {
  const rows = [
    ['C', 0], ['c', 0], ['C#', 1], ['Db', 1], ['d', 2], ['E', 4], ['e#', 5], ['Fb', 4], ['F', 5],
    ['g#', 8], ['Ab', 8], ['A', 9], ['bb', 10], ['B', 11], ['B#', 0], ['Cb', 11],
    // Only "#" and a small "b" count; what follows them is ignored.
    ['AB', 9], ['Gm7', 7], ['C##', 1], ['Ebm7b5', 3],
    ['', 0], [' D', 0], ['H', 0], ['x', 0], ['7', 0], [null, 0], [undefined, 0], [5, 0],
  ];
  for (const [text, pc] of rows) assert.equal(chords.pitchClass(text), pc, String(text));
});

test('chord parsing: root as written, quality in the grid spelling, bass after the slash', () => {
  const rows = [
    ['Fmaj7/A', 'F', 'maj7', 'A'],
    ['Cmin7', 'C', 'm7', ''],
    ['CM7', 'C', 'maj7', ''],
    ['f#m', 'f#', 'm', ''],
    [' Bbmajor ', 'Bb', '', ''],
    ['Cmaj', 'C', '', ''],
    ['Dminor', 'D', 'm', ''],
    ['Emin', 'E', 'm', ''],
    ['Abm7b5', 'Ab', 'm7b5', ''],
    ['E7 / G#', 'E', '7', 'G#'],
    ['G/B', 'G', '', 'B'],
    // Spellings outside the grid stay as they are written.
    ['CM', 'C', 'M', ''],
    ['Cmaj7#11', 'C', 'maj7#11', ''],
    // Without a note in front the root reads as C.
    ['m7', 'C', 'm7', ''],
    ['', 'C', '', ''],
    [undefined, 'C', '', ''],
  ];
  for (const [text, root, quality, bass] of rows) {
    assert.deepEqual({ ...chords.parseChord(text) }, { root, quality, bass }, String(text));
  }
  assert.equal(chords.chordText('Db', 'm7', ''), 'Dbm7');
  assert.equal(chords.chordText('D', 'maj7', 'A'), 'Dmaj7/A');
});

test('chord tones in flat names; an unknown quality sounds as a major triad', () => {
  const rows = [
    ['C', '', 'C E G'], ['A', 'm', 'A C E'], ['F', 'maj7', 'F A C E'], ['G', '7', 'G B D F'],
    ['G', 'm7', 'G Bb D F'], ['C', 'mmaj7', 'C Eb G B'], ['B', 'dim', 'B D F'],
    ['f#', 'dim7', 'Gb A C Eb'], ['Bb', 'm7b5', 'Bb Db E Ab'], ['C', 'aug', 'C E Ab'],
    ['D', 'sus2', 'D E A'], ['D', 'sus4', 'D G A'], ['B', '5', 'B Gb'], ['C', '6', 'C E G A'],
    ['A', 'm6', 'A C E Gb'], ['C', '9', 'C E G Bb D'], ['A', 'm9', 'A C E G B'],
    ['Eb', 'maj9', 'Eb G Bb D F'], ['G', 'add9', 'G B D A'],
    ['C', 'M', 'C E G'], ['E', 'maj7#11', 'E Ab B'],
  ];
  for (const [root, quality, tones] of rows) {
    assert.equal(names(chords.chordTones(root, quality)), tones, `${root}${quality}`);
  }
});

test('the quality grid: 19 qualities, each one a chord the page accepts', () => {
  assert.equal(chords.QUALITY_ORDER.join(' '),
    ' m 7 maj7 m7 mmaj7 dim dim7 m7b5 aug sus2 sus4 5 6 m6 9 m9 maj9 add9');
  for (const quality of chords.QUALITY_ORDER) {
    for (const chord of [`Gb${quality}`, `Gb${quality}/A`]) {
      assert.doesNotThrow(() => page.validateConfig({ progression: [chord] }), chord);
    }
  }
});

test('mode tones from a tonic, in both spellings; unknown modes read as ionian', () => {
  const rows = [
    [2, 'dorian', 'D E F G A B C', 'D E F G A B C'],
    [1, 'ionian', 'C# D# F F# G# A# C', 'Db Eb F Gb Ab Bb C'],
    [1, 'major', 'C# D# F F# G# A# C', 'Db Eb F Gb Ab Bb C'],
    [9, 'minor', 'A B C D E F G', 'A B C D E F G'],
    [9, 'harmonic_minor', 'A B C D E F G#', 'A B C D E F Ab'],
    [4, 'phrygian_dominant', 'E F G# A B C D', 'E F Ab A B C D'],
    [4, 'blues', 'E G A A# B D', 'E G A Bb B D'],
    [6, 'locrian', 'F# G A B C D E', 'Gb G A B C D E'],
    [11, 'lydian', 'B C# D# F F# G# A#', 'B Db Eb F Gb Ab Bb'],
    [10, 'minor_pentatonic', 'A# C# D# F G#', 'Bb Db Eb F Ab'],
    [0, 'lydian_dominant', 'C D E F G A B', 'C D E F G A B'],
  ];
  for (const [tonic, mode, sharps, flats] of rows) {
    assert.equal(names(chords.modeTones(tonic, mode), false), sharps, `${tonic} ${mode}`);
    assert.equal(names(chords.modeTones(tonic, mode), true), flats, `${tonic} ${mode}`);
  }
  // Every mode the page offers has its own intervals (only the aliases sound as another).
  const ionian = names(chords.modeTones(0, 'ionian'));
  const seen = new Map();
  for (const mode of page.SCALES) {
    const tones = names(chords.modeTones(0, mode));
    if (mode !== 'ionian' && mode !== 'major') assert.notEqual(tones, ionian, mode);
    seen.set(tones, (seen.get(tones) || 0) + 1);
  }
  assert.equal(seen.size, page.SCALES.length - 2);
});

// Points of a ring segment's path: outer start, outer end, inner end, inner start.
function segmentPoints(k) {
  const path = chords.segmentPath(k);
  const number = '(\\S+) (\\S+)';
  const shape = `^M ${number} A 174 174 0 0 1 ${number} L ${number} A 112 112 0 0 0 ${number} Z$`;
  const match = new RegExp(shape).exec(path);
  assert.ok(match, path);
  const n = match.slice(1).map(Number);
  return [[n[0], n[1]], [n[2], n[3]], [n[4], n[5]], [n[6], n[7]]];
}
const radius = ([x, y]) => Math.hypot(x - 180, y - 180);
// Degrees clockwise from the top, in -180 … 180.
const bearing = ([x, y]) => (Math.atan2(x - 180, 180 - y) * 180) / Math.PI;
const near = (actual, expected, what) =>
  assert.ok(Math.abs(actual - expected) < 0.002, `${what}: ${actual} vs ${expected}`);

test('the circle: twelve segments in fifths, 28 degrees wide, between radius 112 and 174', () => {
  assert.equal(names(chords.FIFTHS), 'C G D A E B Gb Db Ab Eb Bb F');
  // Segment 0 worked by hand: 174 sin 14° = 42.0945, 174 cos 14° = 168.8315,
  // 112 sin 14° = 27.0953, 112 cos 14° = 108.6732.
  const [a, b, c, d] = segmentPoints(0);
  near(a[0], 137.9055, 'outer start x'); near(a[1], 11.1685, 'outer start y');
  near(b[0], 222.0945, 'outer end x'); near(b[1], 11.1685, 'outer end y');
  near(c[0], 207.0953, 'inner end x'); near(c[1], 71.3268, 'inner end y');
  near(d[0], 152.9047, 'inner start x'); near(d[1], 71.3268, 'inner start y');
  for (let k = 0; k < 12; ++k) {
    const [outerFrom, outerTo, innerTo, innerFrom] = segmentPoints(k);
    near(radius(outerFrom), 174, `segment ${k}`); near(radius(outerTo), 174, `segment ${k}`);
    near(radius(innerFrom), 112, `segment ${k}`); near(radius(innerTo), 112, `segment ${k}`);
    const middle = k * 30 > 180 ? k * 30 - 360 : k * 30;
    const wrap = (angle) =>
      angle - middle > 180 ? angle - 360 : angle - middle < -180 ? angle + 360 : angle;
    near(wrap(bearing(outerFrom)), middle - 14, `segment ${k} from`);
    near(wrap(bearing(innerFrom)), middle - 14, `segment ${k} from`);
    near(wrap(bearing(outerTo)), middle + 14, `segment ${k} to`);
    near(wrap(bearing(innerTo)), middle + 14, `segment ${k} to`);
  }
  // Labels at radius 143 on each segment's middle: the four quarters exactly.
  const labels = [0, 3, 6, 9].map((k) => chords.labelPosition(k));
  assert.deepEqual(labels.map((p) => [p.x, p.y]), [[180, 37], [323, 180], [180, 323], [37, 180]]);
  for (let k = 0; k < 12; ++k) {
    const { x, y } = chords.labelPosition(k);
    near(radius([x, y]), 143, `label ${k}`);
  }
});
