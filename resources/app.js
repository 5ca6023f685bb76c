// The editor page: the page's mirror of the plug-in's state, the queue that writes
// every edit, the 150 ms poll of the plug-in's snapshot, the page's own validation of
// a configuration, and the header and footer commands. Texts are Russian source texts;
// the translator (i18n.js) shows them in the chosen language.
(function (root) {
  'use strict';

  // ---- Configuration: fields, defaults, validation (also loaded by the unit tests) ----

  // key, label, default, min, max, step, card, control
  const SOLO_FIELDS = [
    ['low_note', 'Нижняя нота MIDI', 55, 40, 88, 1, 'melody', 'note'],
    ['high_note', 'Верхняя нота MIDI', 84, 40, 88, 1, 'melody', 'note'],
    ['density', 'Плотность', 0.75, 0.1, 1, 0.01, 'melody', 'slider'],
    ['rest_probability', 'Доля пауз', 0.15, 0, 0.8, 0.01, 'melody', 'slider'],
    ['phrase_bars', 'Тактов во фразе', 4, 1, 16, 1, 'melody', 'number'],
    ['velocity', 'Velocity', 96, 1, 127, 1, 'performance', 'number'],
    ['humanize_ms', 'Отклонение, мс', 9, 0, 30, 0.1, 'performance', 'number'],
    ['gate', 'Длительность нот', 0.88, 0.25, 1, 0.01, 'performance', 'slider'],
    ['program', 'GM программа (0–127)', 30, 0, 127, 1, 'performance', 'instrument'],
    ['chord_target_probability', 'Вес аккордовых нот', 0.4, 0, 1, 0.01, 'melody', 'slider'],
    ['run_probability', 'Доля пассажей', 0.35, 0, 1, 0.01, 'rhythm', 'slider'],
    ['motif_variation', 'Вариация мотива', 0.35, 0, 1, 0.01, 'rhythm', 'slider'],
    ['syncopation', 'Синкопы', 0.35, 0, 1, 0.01, 'rhythm', 'slider'],
    ['triplet_probability', 'Триоли', 0.2, 0, 1, 0.01, 'rhythm', 'slider'],
    ['chromatic_probability', 'Хроматика', 0.08, 0, 1, 0.01, 'rhythm', 'slider'],
    ['color_probability', 'Вес ладового окраса', 0.6, 0, 1, 0.01, 'melody', 'slider'],
    ['bends', 'Бенды', true, null, null, null, 'performance', 'switch'],
    ['slides', 'Слайды', true, null, null, null, 'performance', 'switch'],
    ['pitch_bend_range', 'Диапазон pitch bend', 12, 2, 12, 1, 'performance', 'number'],
    ['articulations_per_phrase', 'Артикуляций во фразе', 3, 0, 8, 1, 'performance', 'number'],
  ].map(([key, label, def, min, max, step, card, control]) => ({
    key, label, def, min, max, step, card, control,
  }));

  const SCALES = [
    'ionian', 'aeolian', 'phrygian', 'lydian', 'locrian', 'melodic_minor', 'phrygian_dominant',
    'major', 'minor', 'harmonic_minor', 'dorian', 'mixolydian', 'minor_pentatonic',
    'major_pentatonic', 'blues',
  ];

  const SOLO_ALIASES = {
    rest_amount: 'rest_probability',
    chord_tone_weight: 'chord_target_probability',
    run_amount: 'run_probability',
    variation_amount: 'motif_variation',
    syncopation_amount: 'syncopation',
    triplet_amount: 'triplet_probability',
    chromatic_amount: 'chromatic_probability',
    modal_color_weight: 'color_probability',
  };

  const CONFIG_KEYS = ['progression', 'bpm', 'meter', 'key', 'scale', 'seed', 'repeats', 'solo',
    'output', 'harmony'];
  const ENTRY_KEYS = ['chord', 'bars', 'bpm', 'meter', 'scale', 'scale_root'];
  const QUALITIES = ['', 'maj', 'major', 'm', 'min', 'minor', '7', 'maj7', 'm7', 'min7', 'mmaj7',
    'dim', 'dim7', 'm7b5', 'aug', 'sus2', 'sus4', '5', '6', 'm6', '9', 'm9', 'maj9', 'add9'];
  const DENOMINATORS = [1, 2, 4, 8, 16, 32];
  const MAX_SEED = 9007199254740991;
  const NOTE = /^[A-Ga-g][#b]?$/;

  const MESSAGES = {
    notObject: 'Конфиг должен быть объектом',
    meter: 'Размер: числитель 1…32, знаменатель 1, 2, 4, 8, 16 или 32',
    key: 'Тоника: нота от C до B, допустимы # и b',
    scale: 'Неизвестный лад',
    harmony: 'harmony: global или chord_modes',
    output: 'Нужно непустое имя MIDI',
    progression: 'Нужна непустая progression',
    entry: 'Некорректная строка прогрессии',
    tooLong: 'Не больше 4096 тактов с повторами',
    solo: 'solo должен быть объектом',
    range: 'Диапазон нот должен быть не меньше октавы',
  };

  function defaultSolo() {
    const solo = {};
    for (const field of SOLO_FIELDS) solo[field.key] = field.def;
    return solo;
  }

  function defaultConfig() {
    return {
      progression: ['Am', 'F', 'C', 'G', 'Am', 'F', 'Dm', 'E7'],
      bpm: 120,
      meter: '4/4',
      seed: 42,
      repeats: 1,
      harmony: 'chord_modes',
      output: 'solo.mid',
      solo: defaultSolo(),
    };
  }

  function initialState() {
    return { version: 2, config: defaultConfig(), sync: false, loop: true, variation: 0,
      variants: [[], [], []] };
  }

  function isObject(value) {
    return value !== null && typeof value === 'object' && !Array.isArray(value);
  }

  function has(object, key) {
    return Object.prototype.hasOwnProperty.call(object, key);
  }

  function fail(text) {
    throw new Error(text);
  }

  // A JSON number within [min, max], an integer when asked; the message names the
  // bounds as the page writes numbers (1/32 as 0.03125).
  function checkNumber(value, name, min, max, integer) {
    const ok = typeof value === 'number' && Number.isFinite(value) && value >= min &&
      value <= max && (!integer || Number.isInteger(value));
    if (!ok) fail(`${name}: допустимо ${String(min)}…${String(max)}${integer ? ' (целое)' : ''}`);
  }

  function checkMeter(value) {
    const match = typeof value === 'string' ? /^(\d+)\/(\d+)$/.exec(value) : null;
    const numerator = match ? Number(match[1]) : 0;
    const denominator = match ? Number(match[2]) : 0;
    if (!match || numerator < 1 || numerator > 32 || !DENOMINATORS.includes(denominator)) {
      fail(MESSAGES.meter);
    }
  }

  function checkNote(value) {
    if (typeof value !== 'string' || !NOTE.test(value)) fail(MESSAGES.key);
  }

  function checkScale(value) {
    if (!SCALES.includes(value)) fail(MESSAGES.scale);
  }

  function validChord(text) {
    const match = /^([A-Ga-g][#b]?)([^/]*)(?:\/([A-Ga-g][#b]?))?$/.exec(text.trim());
    if (!match) return false;
    return QUALITIES.includes(match[2].replace(/M/g, 'maj').toLowerCase());
  }

  // The page's own check before every commit: the first rule broken throws its message.
  function validateConfig(c) {
    if (!isObject(c)) fail(MESSAGES.notObject);
    for (const key of Object.keys(c)) {
      if (!CONFIG_KEYS.includes(key)) fail(`Неизвестное поле ${key}`);
    }
    checkNumber(has(c, 'bpm') ? c.bpm : 120, 'BPM', 20, 400, false);
    checkMeter(has(c, 'meter') ? c.meter : '4/4');
    const repeats = has(c, 'repeats') ? c.repeats : 1;
    checkNumber(repeats, 'Повторы', 1, 128, true);
    if (c.seed !== undefined && c.seed !== null) checkNumber(c.seed, 'Seed', 0, MAX_SEED, true);
    if (c.key !== undefined && c.key !== null) checkNote(c.key);
    if (has(c, 'scale')) checkScale(c.scale);
    if (has(c, 'harmony') && c.harmony !== 'global' && c.harmony !== 'chord_modes') {
      fail(MESSAGES.harmony);
    }
    if (has(c, 'output') && (typeof c.output !== 'string' || c.output.trim() === '')) {
      fail(MESSAGES.output);
    }
    if (!Array.isArray(c.progression) || c.progression.length === 0) fail(MESSAGES.progression);

    let bars = 0;
    for (const item of c.progression) {
      if (typeof item !== 'string' && !isObject(item)) fail(MESSAGES.entry);
      const entry = typeof item === 'string' ? { chord: item } : item;
      for (const key of Object.keys(entry)) {
        if (!ENTRY_KEYS.includes(key)) fail(`Неизвестное поле progression.${key}`);
      }
      const chord = entry.chord;
      if (typeof chord !== 'string' || !validChord(chord)) {
        fail(`Некорректный аккорд: ${chord === undefined || chord === null ? '' : String(chord)}`);
      }
      const entryBars = has(entry, 'bars') ? entry.bars : 1;
      checkNumber(entryBars, 'Такты', 1 / 32, 256, false);
      if (has(entry, 'bpm')) checkNumber(entry.bpm, 'BPM аккорда', 20, 400, false);
      if (has(entry, 'meter')) checkMeter(entry.meter);
      if (has(entry, 'scale')) checkScale(entry.scale);
      if (has(entry, 'scale_root')) checkNote(entry.scale_root);
      bars += entryBars;
    }
    if (bars * repeats > 4096) fail(MESSAGES.tooLong);

    const solo = has(c, 'solo') ? c.solo : {};
    if (!isObject(solo)) fail(MESSAGES.solo);
    const given = {};
    for (const key of Object.keys(solo)) {
      const field = has(SOLO_ALIASES, key) ? SOLO_ALIASES[key] : key;
      if (!SOLO_FIELDS.some((f) => f.key === field)) fail(`Неизвестное поле solo.${key}`);
      if (has(given, field)) fail(`Повторное поле solo.${field}`);
      given[field] = solo[key];
    }
    for (const field of SOLO_FIELDS) {
      const value = has(given, field.key) ? given[field.key] : field.def;
      if (field.control === 'switch') {
        if (typeof value !== 'boolean') fail(`${field.key}: true или false`);
      } else {
        checkNumber(value, field.key, field.min, field.max, field.step === 1);
      }
    }
    const low = has(given, 'low_note') ? given.low_note : 55;
    const high = has(given, 'high_note') ? given.high_note : 84;
    if (high - low < 12) fail(MESSAGES.range);
    return c;
  }

  // ---- Timeline (bars with their tempo), used by the preview playhead ----

  function measureOf(meter) {
    const match = /^(\d+)\/(\d+)$/.exec(typeof meter === 'string' ? meter : '4/4') ||
      ['', '4', '4'];
    return { n: Number(match[1]), d: Number(match[2]) };
  }

  let timelineCache = { config: null, bars: [] };
  function timelineOf(config) {
    if (timelineCache.config === config) return timelineCache.bars;
    const bars = [];
    let start = 0;
    const repeats = typeof config.repeats === 'number' ? config.repeats : 1;
    const progression = Array.isArray(config.progression) ? config.progression : [];
    for (let r = 0; r < repeats; ++r) {
      for (const item of progression) {
        const entry = typeof item === 'string' ? { chord: item } : item || {};
        const { n, d } = measureOf(entry.meter || config.meter);
        const b = typeof entry.bars === 'number' ? entry.bars : 1;
        const bpm = entry.bpm || config.bpm || 120;
        for (let i = 0; i < Math.ceil(b); ++i) {
          const length = Math.round((Math.min(1, b - i) * n * 480 * 4) / d) / 480;
          bars.push({ start, length, bpm });
          start += length;
        }
      }
    }
    timelineCache = { config, bars };
    return bars;
  }

  function totalOf(config) {
    const bars = timelineOf(config);
    return bars.length ? bars[bars.length - 1].start + bars[bars.length - 1].length : 1;
  }

  const exported = { SOLO_FIELDS, SCALES, SOLO_ALIASES, DENOMINATORS, defaultConfig,
    initialState, validateConfig, timelineOf, totalOf };
  root.TavrenaPage = exported;
  if (typeof document === 'undefined') return;  // loaded by the unit tests

  // ---- The page ----

  const $ = (id) => document.getElementById(id);
  const tr = (text) => (root.I18n ? root.I18n.t(text) : text);

  const native = typeof root.tavrenaRead === 'function';
  let state = initialState();
  let revision = -1;
  let busy = false;
  let transport = {};
  let preview = false;
  let previewTime = 0;
  let lastFrame = 0;
  let editing = false;
  let writes = Promise.resolve();
  let saving = false;
  let writeSerial = 0;
  let dragOrigin = null;
  // The plug-in's status line as last shown. The plug-in always has a status, so
  // showing it on every poll would wipe the page's own messages (an export, a
  // refused edit) within 150 ms, before anyone could read them: it replaces them
  // only when it has changed.
  let pluginStatus = null;

  const copy = (value) => JSON.parse(JSON.stringify(value));
  const shownNotes = () => {
    const variants = Array.isArray(state.variants) ? state.variants : [];
    const notes = variants[state.variation];
    return Array.isArray(notes) ? notes : [];
  };
  const timeline = () => timelineOf(state.config);
  const total = () => totalOf(state.config);

  // Each element's source text as last written: writing the same text again would
  // still make the translator walk the whole document.
  const written = new WeakMap();
  function setText(element, text) {
    if (written.get(element) === text) return;
    written.set(element, text);
    element.textContent = text;
  }

  function message(text) {
    const status = $('status');
    written.delete(status);  // the same message again is shown again
    setText(status, String(text));
  }

  function errorText(error) {
    return error && error.message ? error.message : String(error);
  }

  // Every change of the state goes through here: shown at once, written in order.
  function save(next) {
    const serial = ++writeSerial;
    const previous = state;
    state = next;
    saving = true;
    render();
    writes = writes.catch(() => {}).then(async () => {
      try {
        if (native) {
          const accepted = await root.tavrenaWrite(next);
          if (accepted !== true) throw new Error('Некорректный конфиг: проверьте поля и диапазоны');
          const snapshot = await root.tavrenaRead();
          revision = snapshot.revision;
          if (snapshot.state && serial === writeSerial) state = snapshot.state;
        }
      } catch (error) {
        if (serial === writeSerial) state = previous;
        throw error;
      } finally {
        saving = serial !== writeSerial;
        render();
      }
    });
    return writes;
  }

  function commit(config) {
    try {
      validateConfig(config);
    } catch (error) {
      return Promise.reject(error);
    }
    const next = copy(state);
    next.config = config;
    next.variants = [[], [], []];
    return save(next);
  }

  function generateLabel() {
    return busy ? '■ Отменить' : '✦ Сгенерировать соло';
  }

  function render() {
    $('loop').classList.toggle('active', state.loop === true);
    $('loop').setAttribute('aria-pressed', String(state.loop === true));
    const sync = $('sync');
    if (sync) sync.setAttribute('aria-pressed', String(state.sync === true));
    for (const button of document.querySelectorAll('[data-variant]')) {
      const active = Number(button.dataset.variant) === state.variation;
      button.classList.toggle('active', active);
      button.setAttribute('aria-pressed', String(active));
    }
    setText($('generate'), generateLabel());
    const empty = shownNotes().length === 0;
    $('empty-roll').hidden = !empty;
    $('play').disabled = empty;
    $('export').disabled = empty;
    $('drag').disabled = empty;
    if (!editing) drawLane();
    drawRoll();
    for (const part of parts) if (part.render) part.render();
    if (picker) redrawPickerFromState();
  }

  // ---- Piano roll ----

  const GUTTER = 52;
  const VELOCITY_LANE = 64;
  let zoom = 160;            // pixels per measure of the configuration's metre
  let snapFraction = 0.25;   // of a measure
  let rollTopPitch = 88;
  let rollZoom = 100;        // percent
  let wheelRemainder = 0;

  const clamp = (value, low, high) => Math.min(high, Math.max(low, value));
  const measureLength = () => {
    const { n, d } = measureOf(state.config.meter);
    return (n * 4) / d;
  };
  const pixelsPerBeat = () => zoom / measureLength();

  function rollGeometry() {
    const canvas = $('roll');
    const width = canvas.clientWidth;
    const height = canvas.clientHeight;
    const rowHeight = (12 * rollZoom) / 100;
    const rows = clamp(Math.floor((height - VELOCITY_LANE) / rowHeight), 1, 128);
    return { canvas, width, height, rowHeight, rows, visible: Math.max(1, width - GUTTER) };
  }

  function timelineWidth(rollWidth) {
    return Math.max(rollWidth - GUTTER, 1280,
      (Math.ceil(total() / measureLength()) + 1) * zoom);
  }

  function playheadPosition() {
    if (native) {
      const playing = transport.playing === 1 || transport.playing === true;
      return playing || preview ? Number(transport.position) || 0 : null;
    }
    return preview ? previewTime : null;
  }

  // Per note list (lists are replaced, never changed in place): whether it is in
  // ascending start order, and its longest note.
  const noteIndexes = new WeakMap();
  function noteIndex(notes) {
    let index = noteIndexes.get(notes);
    if (!index) {
      let sorted = true;
      let longest = 0;
      for (let i = 0; i < notes.length; ++i) {
        const note = notes[i];
        if (!(typeof note.start === 'number' && typeof note.length === 'number')) sorted = false;
        else if (i > 0 && note.start < notes[i - 1].start) sorted = false;
        longest = Math.max(longest, Number(note.length) || 0);
      }
      index = { sorted, longest };
      noteIndexes.set(notes, index);
    }
    return index;
  }

  function drawRoll() {
    if ($('main-page').hidden) return;
    const g = rollGeometry();
    if (g.width === 0 || g.height === 0) return;
    const ratio = root.devicePixelRatio || 1;
    const backingWidth = Math.round(g.width * ratio);
    const backingHeight = Math.round(g.height * ratio);
    if (g.canvas.width !== backingWidth) g.canvas.width = backingWidth;
    if (g.canvas.height !== backingHeight) g.canvas.height = backingHeight;
    const ctx = g.canvas.getContext('2d');
    ctx.setTransform(ratio, 0, 0, ratio, 0, 0);

    rollTopPitch = clamp(rollTopPitch, g.rows - 1, 127);
    const hi = rollTopPitch;
    const lo = Math.max(0, hi - g.rows + 1);
    setText($('roll-range'), `MIDI ${lo}–${hi}`);
    const scroller = $('roll-scroll');
    $('roll-extent').style.width = `${Math.max(g.visible, timelineWidth(g.width))}px`;
    $('progression-scroll').scrollLeft = scroller.scrollLeft;

    const ppb = pixelsPerBeat();
    const offset = scroller.scrollLeft;
    const viewStart = offset / ppb;
    const viewEnd = Math.min(total(), (offset + g.visible) / ppb);
    const x = (beat) => GUTTER + beat * ppb - offset;

    ctx.fillStyle = '#f0e7d6';
    ctx.fillRect(0, 0, g.width, g.height);
    for (let pitch = lo; pitch <= hi; ++pitch) {
      const top = (hi - pitch) * g.rowHeight;
      const black = [1, 3, 6, 8, 10].includes(pitch % 12);
      ctx.fillStyle = black ? '#dfd4bf' : '#f6efdf';
      ctx.fillRect(GUTTER, top, g.width - GUTTER, g.rowHeight);
      ctx.fillStyle = '#92836533';
      ctx.fillRect(GUTTER, top + g.rowHeight - 1, g.width - GUTTER, 1);
      ctx.fillStyle = black ? '#25271f' : '#fff8e7';
      ctx.fillRect(0, top, black ? GUTTER * 0.65 : GUTTER, g.rowHeight);
      if (pitch % 12 === 0) {
        ctx.fillStyle = '#312d20';
        ctx.font = '14px Georgia';
        ctx.textBaseline = 'middle';
        ctx.textAlign = 'left';
        ctx.fillText(`C${Math.floor(pitch / 12) - 1}`, GUTTER - 23, top + g.rowHeight / 2);
      }
    }

    ctx.save();
    ctx.beginPath();
    ctx.rect(GUTTER, 0, g.width - GUTTER, g.height);
    ctx.clip();
    const measure = measureLength();
    const step = measure * snapFraction;
    ctx.fillStyle = '#98896627';
    for (let beat = Math.ceil(viewStart / step) * step; beat <= viewEnd; beat += step) {
      ctx.fillRect(Math.round(x(beat)), 0, 1, g.height);
    }
    ctx.fillStyle = '#77674299';
    for (let m = Math.floor(viewStart / measure); m <= Math.ceil(viewEnd / measure); ++m) {
      ctx.fillRect(Math.round(x(m * measure)), 0, 1, g.height);
    }
    ctx.fillStyle = '#8d7955';
    ctx.fillRect(GUTTER, g.height - VELOCITY_LANE, g.width - GUTTER, 1);

    const notes = shownNotes();
    const { sorted, longest } = noteIndex(notes);
    // Notes come in ascending start: begin at the first that can reach the view and stop
    // at the first that starts after it, so a long solo costs only what is in view.
    let first = 0;
    if (sorted) {
      let high = notes.length;
      while (first < high) {
        const middle = (first + high) >> 1;
        if (notes[middle].start < viewStart - longest) first = middle + 1;
        else high = middle;
      }
    }
    for (let i = first; i < notes.length; ++i) {
      const note = notes[i];
      if (sorted && note.start > viewEnd) break;
      if (note.start + note.length < viewStart || note.start > viewEnd) continue;
      if (note.pitch >= lo && note.pitch <= hi) {
        ctx.fillStyle = '#1b4d3a';
        ctx.fillRect(x(note.start), (hi - note.pitch) * g.rowHeight + 1,
          Math.max(2, note.length * ppb - 1), g.rowHeight - 2);
      }
      const bar = (note.velocity / 127) * 54;
      ctx.fillStyle = '#2f624b';
      ctx.fillRect(x(note.start), g.height - bar, 3, bar);
    }

    const position = playheadPosition();
    if (position !== null) {
      const head = x(position % total());
      ctx.fillStyle = '#ba8a2c';
      ctx.fillRect(head - 1, 0, 2, g.height);
      ctx.fillStyle = '#c19641';
      ctx.beginPath();
      ctx.moveTo(head - 7, 0);
      ctx.lineTo(head + 7, 0);
      ctx.lineTo(head, 10);
      ctx.closePath();
      ctx.fill();
    }
    ctx.restore();

    ctx.fillStyle = '#5f543e';
    ctx.font = '12px Arial';
    ctx.textAlign = 'left';
    ctx.textBaseline = 'middle';
    ctx.fillText('Velocity', 4, g.height - VELOCITY_LANE / 2);
  }

  // The wheel over the roll: Alt zooms around the pointer, Shift (or a horizontal
  // delta) scrolls the timeline, otherwise pitches scroll.
  function rollWheel(event) {
    const { deltaX, deltaY, deltaMode } = event;
    if (deltaX === 0 && deltaY === 0) return;
    event.preventDefault();
    const g = rollGeometry();
    if (event.altKey) {
      const anchor = clamp(event.offsetY, 0, g.height - VELOCITY_LANE);
      const pitch = rollTopPitch - anchor / g.rowHeight;
      const delta = deltaY * (deltaMode === 1 ? 16 : deltaMode === 2 ? g.height : 1);
      rollZoom = clamp(rollZoom * Math.exp(-clamp(delta, -300, 300) * 0.002), 25, 800);
      const next = rollGeometry();
      rollTopPitch = clamp(Math.round(pitch + anchor / next.rowHeight), next.rows - 1, 127);
      wheelRemainder = 0;
    } else if (event.shiftKey || deltaX !== 0) {
      $('roll-scroll').scrollLeft += deltaX !== 0 ? deltaX : deltaY;
    } else {
      wheelRemainder += deltaMode === 1 ? deltaY : deltaMode === 2 ? deltaY * g.rows : deltaY / 40;
      const steps = Math.trunc(wheelRemainder);
      wheelRemainder -= steps;
      rollTopPitch = clamp(rollTopPitch - steps, g.rows - 1, 127);
    }
    drawRoll();
  }

  // ---- Chord lane ----

  const MODE_LABELS = {
    ionian: 'Ионийский', major: 'Мажор', aeolian: 'Эолийский', minor: 'Минор',
    dorian: 'Дорийский', phrygian: 'Фригийский', lydian: 'Лидийский',
    mixolydian: 'Миксолидийский', locrian: 'Локрийский', harmonic_minor: 'Гармонический минор',
    melodic_minor: 'Мелодический минор', phrygian_dominant: 'Фригийский доминантный',
    minor_pentatonic: 'Минорная пентатоника', major_pentatonic: 'Мажорная пентатоника',
    blues: 'Блюзовый',
  };
  let selectedChord = 0;

  const entries = () => (Array.isArray(state.config.progression) ? state.config.progression : [])
    .map((item) => (typeof item === 'string' ? { chord: item } : { ...item }));

  // An entry's length in quarter notes, rounded to whole ticks.
  function entryLength(entry) {
    const { n, d } = measureOf(entry.meter || state.config.meter);
    const bars = typeof entry.bars === 'number' ? entry.bars : 1;
    return Math.round(bars * ((n * 4) / d) * 480) / 480;
  }

  function element(tag, className, text) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    if (text !== undefined) node.textContent = text;
    return node;
  }

  // The lane is rebuilt only when what it shows changes: a click that merely selects a
  // slot keeps its buttons, so a double click and the keyboard focus survive it.
  let laneSignature = '';

  function drawLane() {
    const list = entries();
    selectedChord = Math.min(selectedChord, Math.max(0, list.length - 1));
    const lane = $('progression');
    const width = timelineWidth($('roll').clientWidth);
    const signature = JSON.stringify([list, state.config.meter, zoom, snapFraction, width]);
    if (signature !== laneSignature) {
      laneSignature = signature;
      buildLane(lane, list, width);
    }
    for (const slot of lane.querySelectorAll('.slot')) {
      slot.classList.toggle('selected', Number(slot.dataset.index) === selectedChord);
    }
    $('move-left').disabled = selectedChord <= 0;
    $('move-right').disabled = selectedChord >= list.length - 1;
    $('delete-chord').disabled = list.length < 2;
  }

  function buildLane(lane, list, width) {
    const active = document.activeElement;
    const focused = lane.contains(active) && active.closest('.slot')
      ? { index: active.closest('.slot').dataset.index, kind: active.dataset.kind }
      : null;
    lane.replaceChildren();
    lane.style.width = `${width}px`;
    const beatsPerLine = Math.round(1 / snapFraction);
    for (let i = 0; i <= Math.ceil(width / zoom); ++i) {
      const line = element('span', 'lane-line measure');
      line.style.left = `${i * zoom}px`;
      const number = element('span', 'lane-number', String(i + 1));
      number.style.left = `${i * zoom}px`;
      lane.append(line, number);
      for (let k = 1; k < beatsPerLine; ++k) {
        const beat = element('span', 'lane-line');
        beat.style.left = `${i * zoom + (k * zoom) / beatsPerLine}px`;
        lane.append(beat);
      }
    }
    const ppb = pixelsPerBeat();
    let start = 0;
    list.forEach((entry, index) => {
      const length = entryLength(entry);
      const slot = element('div', 'slot');
      slot.dataset.index = String(index);
      slot.style.left = `${start * ppb}px`;
      slot.style.width = `${length * ppb}px`;
      const chord = element('button', 'chord', String(entry.chord ?? ''));
      chord.type = 'button';
      chord.dataset.kind = 'chord';
      chord.title = 'Двойной щелчок — выбрать аккорд';
      chord.addEventListener('click', () => {
        selectedChord = index;
        render();
      });
      chord.addEventListener('dblclick', () => openPicker('chord', index));
      chord.addEventListener('keydown', (event) => {
        if (event.key !== 'Enter') return;
        event.preventDefault();
        openPicker('chord', index);
      });
      const remove = element('button', 'remove', '×');
      remove.type = 'button';
      remove.dataset.kind = 'remove';
      remove.title = 'Удалить аккорд';
      remove.setAttribute('aria-label', `Удалить аккорд ${String(entry.chord ?? '')}`);
      remove.disabled = list.length < 2;
      remove.addEventListener('click', () => deleteChord(index));
      const modeLabel = entry.scale ? MODE_LABELS[entry.scale] || entry.scale : 'Авто · лад';
      const mode = element('button', 'mode', `${entry.scale_root || ''} ${modeLabel}`);
      mode.type = 'button';
      mode.dataset.kind = 'mode';
      mode.title = 'Выбрать тонику и лад';
      mode.addEventListener('click', () => openPicker('mode', index));
      slot.append(chord, remove, mode);
      for (const side of index === 0 ? ['right'] : ['left', 'right']) {
        const handle = element('span', `handle ${side}`);
        handle.title = 'Потяните границу аккорда';
        handle.addEventListener('pointerdown',
          (event) => startBoundaryDrag(event, side === 'left' ? index - 1 : index));
        slot.append(handle);
      }
      lane.append(slot);
      start += length;
    });
    if (focused) {
      const target = lane.querySelector(
        `.slot[data-index="${focused.index}"] [data-kind="${focused.kind}"]`);
      if (target && !target.disabled) target.focus();
    }
  }

  function commitEntries(list, selection) {
    const config = copy(state.config);
    config.progression = list;
    commit(config).then(
      () => {},
      (error) => message(errorText(error)),
    );
    selectedChord = selection;
    render();
  }

  function addChord() {
    const list = entries();
    list.push({ chord: 'Am', bars: 1 });
    commitEntries(list, list.length - 1);
  }

  function moveChord(by) {
    closePicker();
    const list = entries();
    const target = selectedChord + by;
    if (target < 0 || target >= list.length) return;
    [list[selectedChord], list[target]] = [list[target], list[selectedChord]];
    commitEntries(list, target);
  }

  function deleteChord(index) {
    const list = entries();
    if (list.length < 2) return;
    closePicker();
    list.splice(index, 1);
    const selection = index < selectedChord ? selectedChord - 1 : selectedChord;
    commitEntries(list, Math.min(selection, list.length - 1));
  }

  function setZoom() {
    const scroller = $('roll-scroll');
    const beatAtLeft = scroller.scrollLeft / pixelsPerBeat();
    zoom = (160 * Number($('zoom').value)) / 100;
    drawLane();
    drawRoll();
    scroller.scrollLeft = beatAtLeft * pixelsPerBeat();
    drawRoll();
  }

  // An entry merged with a patch; keys patched to undefined are removed.
  function updateEntry(index, patch) {
    const list = entries();
    if (index < 0 || index >= list.length) return Promise.reject(new Error('Аккорд не найден'));
    const merged = { ...list[index], ...patch };
    for (const key of Object.keys(merged)) if (merged[key] === undefined) delete merged[key];
    list[index] = merged;
    const config = copy(state.config);
    config.progression = list;
    return commit(config);
  }

  // ---- Boundary drag ----

  // The measure length of entry k with the configuration's defaults applied.
  function entryMeasure(entry) {
    const { n, d } = measureOf(entry.meter || state.config.meter);
    return (n * 4) / d;
  }

  let drag = null;

  function startBoundaryDrag(event, boundary) {
    if (event.button !== 0 || drag) return;
    event.preventDefault();
    event.stopPropagation();
    closePicker();
    const list = entries();
    const handle = event.currentTarget;
    const lengths = list.map(entryLength);
    drag = {
      boundary,
      list,
      lengths,
      // Where entry b starts: fixed for the drag, as only b and b + 1 change.
      start: lengths.slice(0, boundary).reduce((sum, length) => sum + length, 0),
      measures: list.map(entryMeasure),
      x0: event.clientX,
      scale: $('stage').getBoundingClientRect().width / 1440 || 1,
      slots: [...$('progression').querySelectorAll('.slot')],
      pointerId: event.pointerId,
      handle,
      change: 0,
    };
    editing = true;
    handle.setPointerCapture(event.pointerId);
    handle.addEventListener('pointermove', boundaryMove);
    handle.addEventListener('pointerup', boundaryUp);
    handle.addEventListener('pointercancel', cancelBoundaryDrag);
  }

  // The change of boundary b's position (in beats) for a pointer at x, on the snap grid
  // counted from the timeline's start and kept 1/32 measure away from the neighbours.
  function boundaryChange(d, x) {
    const b = d.boundary;
    const step = measureLength() * snapFraction;
    const b0 = d.start + d.lengths[b];
    const raw = b0 + (x - d.x0) / d.scale / pixelsPerBeat();
    const minimum = b0 - d.lengths[b] + d.measures[b] / 32;
    const maximum = b + 1 < d.lengths.length
      ? b0 + d.lengths[b + 1] - d.measures[b + 1] / 32
      : b0 - d.lengths[b] + 256 * d.measures[b];
    const first = Math.ceil((minimum - 1e-9) / step) * step;
    const last = Math.floor((maximum + 1e-9) / step) * step;
    if (first > last) return 0;
    return clamp(Math.round(raw / step) * step, first, last) - b0;
  }

  function boundaryMove(event) {
    const d = drag;
    if (!d) return;
    d.change = boundaryChange(d, event.clientX);
    // Only the two slots beside the boundary change: move them directly.
    const ppb = pixelsPerBeat();
    const b = d.boundary;
    const width = d.lengths[b] + d.change;
    d.slots[b].style.width = `${width * ppb}px`;
    if (d.slots[b + 1]) {
      d.slots[b + 1].style.left = `${(d.start + width) * ppb}px`;
      d.slots[b + 1].style.width = `${(d.lengths[b + 1] - d.change) * ppb}px`;
    }
  }

  function endBoundaryDrag() {
    const d = drag;
    drag = null;
    d.handle.removeEventListener('pointermove', boundaryMove);
    d.handle.removeEventListener('pointerup', boundaryUp);
    d.handle.removeEventListener('pointercancel', cancelBoundaryDrag);
    if (d.handle.hasPointerCapture(d.pointerId)) d.handle.releasePointerCapture(d.pointerId);
    editing = false;
    laneSignature = '';  // the slots were moved by hand
    return d;
  }

  function boundaryUp() {
    if (!drag) return;
    const d = endBoundaryDrag();
    // A click on a handle that moved nothing must not clear the generated variants.
    if (d.change !== 0) {
      const list = d.list;
      const b = d.boundary;
      list[b] = { ...list[b], bars: (d.lengths[b] + d.change) / d.measures[b] };
      if (b + 1 < list.length) {
        list[b + 1] = { ...list[b + 1], bars: (d.lengths[b + 1] - d.change) / d.measures[b + 1] };
      }
      const config = copy(state.config);
      config.progression = list;
      commit(config).catch((error) => message(errorText(error)));
    }
    render();
  }

  function cancelBoundaryDrag() {
    if (!drag) return;
    endBoundaryDrag();
    render();
  }

  // ---- Pickers ----

  // Dialogs over the page: the chord and mode pickers of a lane entry and the instrument
  // picker. Their contents come from the page's parts (definePicker); this owns opening,
  // redrawing from the state, the outside press and Escape.
  const pickerKinds = {};
  let picker = null;
  let pickerSignature = '';
  let pickerOpener = null;

  function definePicker(type, kind) {
    pickerKinds[type] = kind;
  }

  function openPicker(type, index) {
    if (!pickerKinds[type]) return;
    const opener = document.activeElement;
    closePicker(false);
    pickerOpener = opener;
    picker = { type, index, flats: false };
    if (type !== 'program') selectedChord = index;
    pickerSignature = '';
    render();
    const first = $('picker-layer').querySelector('[data-autofocus]') ||
      $('picker-layer').querySelector('button, select, input, [tabindex="0"]');
    if (first) first.focus();
  }

  function closePicker(restoreFocus = true) {
    if (!picker) return;
    const kind = pickerKinds[picker.type];
    picker = null;
    const layer = $('picker-layer');
    layer.replaceChildren();
    layer.hidden = true;
    if (kind && kind.closed) kind.closed();
    if (restoreFocus && pickerOpener && pickerOpener.isConnected) pickerOpener.focus();
    pickerOpener = null;
  }

  function redrawPickerFromState() {
    const signature = JSON.stringify([state.config, picker]);
    if (signature !== pickerSignature) drawPicker();
  }

  function drawPicker() {
    if (!picker) return;
    const kind = pickerKinds[picker.type];
    if (picker.type !== 'program' && picker.index >= entries().length) {
      closePicker();
      return;
    }
    pickerSignature = JSON.stringify([state.config, picker]);
    const layer = $('picker-layer');
    const active = document.activeElement;
    const focusKey = layer.contains(active) ? active.dataset.focus : undefined;
    const dialog = element('div', `picker-dialog picker-${picker.type}`);
    dialog.setAttribute('role', 'dialog');
    dialog.setAttribute('aria-modal', 'true');
    dialog.setAttribute('aria-label', kind.label);
    const head = element('div', 'picker-head');
    head.append(element('h2', 'picker-title', kind.title));
    const close = element('button', 'picker-close', '×');
    close.type = 'button';
    close.dataset.focus = 'close';
    close.setAttribute('aria-label', 'Закрыть');
    close.title = 'Закрыть';
    close.addEventListener('click', () => closePicker());
    head.append(close);
    const body = element('div', 'picker-body');
    dialog.append(head, body);
    kind.draw(body, picker);
    layer.replaceChildren(dialog);
    layer.hidden = false;
    if (focusKey !== undefined) {
      const target = dialog.querySelector(`[data-focus="${CSS.escape(focusKey)}"]`);
      if (target) target.focus();
    }
  }

  function pageKeys(event) {
    if (event.key !== 'Escape') return;
    if (drag) cancelBoundaryDrag();
    if (picker) {
      event.preventDefault();
      closePicker();
    }
  }

  // ---- Polling ----

  function formInFocus() {
    const form = $('config-form');
    return !!(form && form.contains(document.activeElement));
  }

  async function pollOnce() {
    try {
      const snapshot = revision === -1 ? await root.tavrenaRead() : await root.tavrenaRead(revision);
      if (!saving && !editing && !formInFocus() && snapshot.state) {
        state = snapshot.state;
        revision = snapshot.revision;
        render();
      }
      transport = snapshot.transport || {};
      busy = snapshot.busy === true;
      if (moving()) animate();
      if (typeof snapshot.status === 'string' && snapshot.status !== '' &&
          snapshot.status !== pluginStatus) {
        pluginStatus = snapshot.status;
        message(snapshot.status);
      }
      const hostTempo = $('host-tempo');
      if (hostTempo) {
        const bpm = Number(transport.bpm) || 120;
        const line = state.sync === true && transport.hasPpq ? `DAW: ${bpm.toFixed(1)} BPM` : '';
        setText(hostTempo, line);
        hostTempo.hidden = line === '';
      }
      setText($('generate'), generateLabel());
    } catch (error) {
      message(`Ошибка связи: ${errorText(error)}`);
    }
  }

  async function pollLoop() {
    await pollOnce();
    setTimeout(pollLoop, 150);
  }

  // ---- Commands ----

  function randomSeed() {
    const value = new Uint32Array(1);
    root.crypto.getRandomValues(value);
    return value[0];
  }

  async function generate() {
    if (!native) {
      message('Генерация доступна в VST3');
      return;
    }
    try {
      await writes;
    } catch (error) {
      message(errorText(error));
      return;
    }
    try {
      if (busy) {
        await root.tavrenaCancel();
        return;
      }
      if (state.randomSeed === true) {
        let seed = randomSeed();
        if (seed === state.config.seed) seed = (seed + 1) % 4294967296;
        await commit({ ...copy(state.config), seed });
      }
      if ((await root.tavrenaGenerate()) === true) {
        busy = true;
        // The plug-in now says the same; a quick job may end before the next poll, and
        // its result must then still replace this message even if it equals the last one.
        pluginStatus = 'Генерация…';
        message('Генерация…');
        render();
      }
    } catch (error) {
      message(errorText(error));
    }
  }

  function play() {
    const start = native ? root.tavrenaPlayback(true) : Promise.resolve(true);
    preview = true;
    previewTime = 0;
    animate();
    start.catch((error) => message(errorText(error)));
  }

  function stop() {
    const end = native ? root.tavrenaPlayback(false) : Promise.resolve(true);
    preview = false;
    previewTime = 0;
    drawRoll();
    end.catch((error) => message(errorText(error)));
  }

  function toggle(key) {
    const next = copy(state);
    next[key] = !(state[key] === true);
    save(next).catch((error) => message(errorText(error)));
  }

  function chooseVariant(index) {
    const next = copy(state);
    next.variation = index;
    save(next).catch((error) => message(errorText(error)));
  }

  async function exportMidi() {
    if (!native) return;
    try {
      await writes;
      if ((await root.tavrenaExport()) === true) message('MIDI экспортирован');
    } catch (error) {
      message(errorText(error));
    }
  }

  function dragStart(event) {
    if (!native || shownNotes().length === 0 || event.button !== 0) return;
    dragOrigin = { x: event.screenX, y: event.screenY };
  }

  function dragMove(event) {
    if (!dragOrigin || event.buttons !== 1) return;
    const distance = Math.hypot(event.screenX - dragOrigin.x, event.screenY - dragOrigin.y);
    if (distance <= 5) return;
    dragOrigin = null;
    root.tavrenaDrag().catch((error) => message(errorText(error)));
  }

  const MAX_IMPORT = 8388608;

  async function importFile(file) {
    try {
      if (file.size > MAX_IMPORT) throw new Error('JSON слишком большой');
      let text = await file.text();
      if (text.charCodeAt(0) === 0xfeff) text = text.slice(1);
      let config = JSON.parse(text);
      if (Array.isArray(config)) config = { progression: config };
      if (!isObject(config) || !Array.isArray(config.progression) ||
          config.progression.length === 0) {
        throw new Error('Нужна непустая progression');
      }
      await commit(config);
      message('Конфиг загружен');
    } catch (error) {
      message(errorText(error));
    }
  }

  function exportConfig() {
    const blob = new Blob([JSON.stringify(state.config, null, 2)], { type: 'application/json' });
    const address = URL.createObjectURL(blob);
    const link = document.createElement('a');
    link.href = address;
    link.download = 'solo-config.json';
    document.body.appendChild(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(address), 1000);
  }

  function phraseMenu() {
    const menu = $('new-project');
    const choice = menu.value;
    menu.value = 'current';
    if (choice === 'open') {
      $('config-file').click();
    } else if (choice === 'new') {
      if (root.confirm(tr('Начать новую фразу? Текущие настройки и варианты будут заменены.'))) {
        save(initialState()).catch((error) => message(errorText(error)));
      }
    }
  }

  async function openBrand(event) {
    if (typeof root.tavrenaOpenBrand !== 'function') return;  // a normal link
    event.preventDefault();
    try {
      if ((await root.tavrenaOpenBrand()) !== true) message('Не удалось открыть сайт в браузере');
    } catch (error) {
      message(errorText(error));
    }
  }

  // ---- Stage, frames, start-up ----

  function scaleStage() {
    const scale = Math.min(root.innerWidth / 1440, root.innerHeight / 960);
    $('stage').style.transform = `scale(${scale})`;
  }

  // Frames run only while something moves (the preview, or the plug-in playing):
  // an idle page then costs nothing between polls. The last frame draws the stop.
  let framing = false;
  const moving = () => preview || transport.playing === 1 || transport.playing === true;

  function frame(now) {
    if (!native && preview) {
      const bars = timeline();
      const bar = bars.find((b) => previewTime >= b.start && previewTime < b.start + b.length);
      previewTime += ((now - (lastFrame || now)) / 1000) * ((bar && bar.bpm) || 120) / 60;
      if (previewTime >= total()) {
        if (state.loop === true) previewTime %= total();
        else preview = false;
      }
    }
    lastFrame = now;
    drawRoll();
    framing = moving();
    if (framing) root.requestAnimationFrame(frame);
  }

  // A window moved to a screen of another pixel density fires no resize: watch the
  // density itself, or the roll stays blurred until something else redraws it.
  function watchPixelRatio() {
    if (typeof root.matchMedia !== 'function') return;
    root.matchMedia(`(resolution: ${root.devicePixelRatio || 1}dppx)`)
      .addEventListener('change', () => {
        drawRoll();
        watchPixelRatio();
      }, { once: true });
  }

  function animate() {
    if (framing) return;
    framing = true;
    lastFrame = 0;
    root.requestAnimationFrame(frame);
  }

  function selectTab(settings) {
    closePicker(false);
    $('main-tab').classList.toggle('active', !settings);
    $('settings').classList.toggle('active', settings);
    $('main-tab').setAttribute('aria-selected', String(!settings));
    $('settings').setAttribute('aria-selected', String(settings));
    $('main-tab').tabIndex = settings ? -1 : 0;
    $('settings').tabIndex = settings ? 0 : -1;
    $('main-page').hidden = settings;
    $('settings-page').hidden = !settings;
    (settings ? $('settings') : $('main-tab')).focus();
    if (!settings) drawRoll();
    if (settings) for (const part of parts) if (part.settingsShown) part.settingsShown();
  }

  function tabKeys(event) {
    const keys = { Home: false, End: true, ArrowLeft: null, ArrowRight: null };
    if (!(event.key in keys)) return;
    event.preventDefault();
    const settings = keys[event.key] === null ? $('main-page').hidden === false : keys[event.key];
    selectTab(settings);
  }

  function attach() {
    $('generate').addEventListener('click', generate);
    $('play').addEventListener('click', play);
    $('stop').addEventListener('click', stop);
    $('loop').addEventListener('click', () => toggle('loop'));
    for (const button of document.querySelectorAll('[data-variant]')) {
      button.addEventListener('click', () => chooseVariant(Number(button.dataset.variant)));
    }
    $('export').addEventListener('click', exportMidi);
    $('drag').addEventListener('pointerdown', dragStart);
    root.addEventListener('pointermove', dragMove);
    root.addEventListener('pointerup', () => { dragOrigin = null; });
    $('import-config').addEventListener('click', () => $('config-file').click());
    $('config-file').addEventListener('change', async () => {
      const input = $('config-file');
      const file = input.files && input.files[0];
      if (file) await importFile(file);
      input.value = '';
    });
    $('export-config').addEventListener('click', exportConfig);
    $('save-phrase').addEventListener('click', exportConfig);
    $('new-project').addEventListener('change', phraseMenu);
    $('brand-link').addEventListener('click', openBrand);
    $('main-tab').addEventListener('click', () => selectTab(false));
    $('settings').addEventListener('click', () => selectTab(true));
    $('main-tab').addEventListener('keydown', tabKeys);
    $('settings').addEventListener('keydown', tabKeys);
    $('language').addEventListener('change', () => {
      if (root.I18n) root.I18n.setLanguage($('language').value);
    });
    $('roll').addEventListener('wheel', rollWheel, { passive: false });
    $('add-chord').addEventListener('click', addChord);
    $('move-left').addEventListener('click', () => moveChord(-1));
    $('move-right').addEventListener('click', () => moveChord(1));
    $('delete-chord').addEventListener('click', () => deleteChord(selectedChord));
    $('zoom').addEventListener('change', setZoom);
    $('snap').addEventListener('change', () => {
      snapFraction = Number($('snap').value);
      render();
    });
    $('progression-scroll').addEventListener('wheel', (event) => {
      event.preventDefault();
      $('roll-scroll').scrollLeft += event.deltaX !== 0 ? event.deltaX : event.deltaY;
    }, { passive: false });
    $('roll-scroll').addEventListener('scroll', drawRoll);
    root.addEventListener('resize', () => {
      scaleStage();
      drawRoll();
    });
    root.addEventListener('tavrena-language', () => {
      pickerSignature = '';  // an open picker is drawn again in the new language
      render();
    });
    document.addEventListener('keydown', pageKeys);
    $('picker-layer').addEventListener('pointerdown', (event) => {
      if (event.target !== $('picker-layer')) return;
      event.preventDefault();  // else the press's default focus change undoes the focus given back
      closePicker();
    });
    for (const part of parts) if (part.attach) part.attach();
  }

  // The page's other scripts (loaded before this one) register themselves in
  // TavrenaParts; each receives this object and returns its hooks: attach (once),
  // render (after every render) and settingsShown (when the settings tab opens).
  const parts = [];
  function installParts() {
    const api = {
      $, tr, element, copy, clamp, setText, message, errorText, native,
      state: () => state, save, commit, render, entries, entryLength, updateEntry,
      measureOf, measureLength, total, timeline, validateConfig, isObject,
      SOLO_FIELDS, SOLO_ALIASES, SCALES, MODE_LABELS,
      definePicker, openPicker, closePicker, redrawPicker: drawPicker, picker: () => picker,
      formInFocus,
    };
    for (const install of root.TavrenaParts || []) parts.push(install(api) || {});
  }

  function start() {
    installParts();
    if (root.I18n) $('language').value = root.I18n.language;
    attach();
    scaleStage();
    render();
    animate();
    watchPixelRatio();
    if (native) {
      pollLoop();
    } else {
      $('preview-badge').hidden = false;
      message('Макет интерфейса · генерация доступна в VST3');
    }
    document.body.dataset.ready = 'true';
  }

  Object.assign(exported, { save, commit, render, message, timeline, total, drawRoll,
    state: () => state, previewTime: () => previewTime,
    roll: () => ({ rollTopPitch, rollZoom, zoom, snapFraction }) });
  start();
})(typeof window !== 'undefined' ? window : globalThis);
