// The configuration as the page knows it: the solo fields with their controls, the
// scales with their labels, the defaults, and the page's own check of a configuration
// before it is written. Every limit, name and default is the engine's, read from
// TavrenaSchema (schema.js, which the build writes from the engine's rules); what is
// written here is the page's own: labels, cards, controls, message texts and the order
// of its checks. Pure: the node tests load it without a document.
(function (root) {
  'use strict';

  const SCHEMA = root.TavrenaSchema;
  const CONFIG = SCHEMA.config.fields;
  const ITEM = SCHEMA.item.fields;

  // How each solo field is edited: label, step (real fields; integers step by 1), card
  // and control.
  const SOLO_CONTROLS = {
    low_note: { label: 'Нижняя нота MIDI', card: 'melody', control: 'note' },
    high_note: { label: 'Верхняя нота MIDI', card: 'melody', control: 'note' },
    density: { label: 'Плотность', step: 0.01, card: 'melody', control: 'slider' },
    rest_probability: { label: 'Доля пауз', step: 0.01, card: 'melody', control: 'slider' },
    phrase_bars: { label: 'Тактов во фразе', card: 'melody', control: 'number' },
    velocity: { label: 'Velocity', card: 'performance', control: 'number' },
    humanize_ms: { label: 'Отклонение, мс', step: 0.1, card: 'performance', control: 'number' },
    gate: { label: 'Длительность нот', step: 0.01, card: 'performance', control: 'slider' },
    program: { label: 'GM программа (0–127)', card: 'performance', control: 'instrument' },
    chord_target_probability: { label: 'Вес аккордовых нот', step: 0.01, card: 'melody',
      control: 'slider' },
    run_probability: { label: 'Доля пассажей', step: 0.01, card: 'rhythm', control: 'slider' },
    motif_variation: { label: 'Вариация мотива', step: 0.01, card: 'rhythm', control: 'slider' },
    syncopation: { label: 'Синкопы', step: 0.01, card: 'rhythm', control: 'slider' },
    triplet_probability: { label: 'Триоли', step: 0.01, card: 'rhythm', control: 'slider' },
    chromatic_probability: { label: 'Хроматика', step: 0.01, card: 'rhythm', control: 'slider' },
    color_probability: { label: 'Вес ладового окраса', step: 0.01, card: 'melody',
      control: 'slider' },
    bends: { label: 'Бенды', card: 'performance', control: 'switch' },
    slides: { label: 'Слайды', card: 'performance', control: 'switch' },
    pitch_bend_range: { label: 'Диапазон pitch bend', card: 'performance', control: 'number' },
    articulations_per_phrase: { label: 'Артикуляций во фразе', card: 'performance',
      control: 'number' },
  };

  // The engine's solo fields in validation order, each with its control.
  const SOLO_FIELDS = SCHEMA.solo.fields.map((field) => {
    const control = SOLO_CONTROLS[field.name];
    if (!control) throw new Error(`No control for the solo field ${field.name}`);
    const boolean = field.type === 'boolean';
    const integer = field.type === 'integer';
    return {
      key: field.name, label: control.label, def: field.default,
      min: boolean ? null : field.minimum, max: boolean ? null : field.maximum,
      step: boolean ? null : integer ? 1 : control.step,
      card: control.card, control: control.control, integer,
    };
  });
  const SOLO_ALIASES = SCHEMA.solo.aliases;

  // The scales in the order the page offers them, with their labels.
  const SCALE_LABELS = [
    ['ionian', 'Ионийский'], ['aeolian', 'Эолийский'], ['phrygian', 'Фригийский'],
    ['lydian', 'Лидийский'], ['locrian', 'Локрийский'], ['melodic_minor', 'Мелодический минор'],
    ['phrygian_dominant', 'Фригийский доминантный'], ['major', 'Мажор'], ['minor', 'Минор'],
    ['harmonic_minor', 'Гармонический минор'], ['dorian', 'Дорийский'],
    ['mixolydian', 'Миксолидийский'], ['minor_pentatonic', 'Минорная пентатоника'],
    ['major_pentatonic', 'Мажорная пентатоника'], ['blues', 'Блюзовый'],
  ];
  const SCALES = SCALE_LABELS.map(([name]) => name);
  const MODE_LABELS = Object.fromEntries(SCALE_LABELS);
  const SCALE_NAMES = SCHEMA.scales.map((scale) => scale.name);
  if (SCALES.length !== SCALE_NAMES.length || !SCALE_NAMES.every((n) => SCALES.includes(n))) {
    throw new Error('The page offers other scales than the engine knows');
  }

  // The page's text for each message key of the schema; a function composes it.
  const MESSAGES = {
    config: 'Конфиг должен быть объектом',
    config_key: (key) => `Неизвестное поле ${key}`,
    bpm: 'BPM',
    meter: 'Размер: числитель 1…32, знаменатель 1, 2, 4, 8, 16 или 32',
    repeats: 'Повторы',
    seed: 'Seed',
    note: 'Тоника: нота от C до B, допустимы # и b',
    scale: 'Неизвестный лад',
    harmony: 'harmony: global или chord_modes',
    output: 'Нужно непустое имя MIDI',
    progression: 'Нужна непустая progression',
    item: 'Некорректная строка прогрессии',
    item_key: (key) => `Неизвестное поле progression.${key}`,
    chord: (chord) => `Некорректный аккорд: ${chord}`,
    bars: 'Такты',
    chord_bpm: 'BPM аккорда',
    total_bars: 'Не больше 4096 тактов с повторами',
    solo: 'solo должен быть объектом',
    solo_key: (key) => `Неизвестное поле solo.${key}`,
    solo_duplicate: (field) => `Повторное поле solo.${field}`,
    solo_boolean: (field) => `${field}: true или false`,
    note_span: 'Диапазон нот должен быть не меньше октавы',
  };

  // ---- Note names and chord symbols, as the engine reads them ----

  const escape = (text) => text.replace(/[\\\]^-]/g, '\\$&');
  const LETTERS = SCHEMA.notes.sharp.filter((name) => name.length === 1).join('');
  const NOTE = `[${escape(LETTERS + LETTERS.toLowerCase())}]` +
    `[${escape(Object.keys(SCHEMA.notes.accidentals).join(''))}]?`;
  const NOTE_NAME = new RegExp(`^${NOTE}$`);
  const CHORD = new RegExp(`^(${NOTE})([^/]*)(?:/(${NOTE}))?$`);
  const QUALITIES = SCHEMA.chord_qualities.map((quality) => quality.name);
  const BLANK_RUN = `[${escape(SCHEMA.blanks)}]*`;
  const TRIM = new RegExp(`^${BLANK_RUN}|${BLANK_RUN}$`, 'g');

  // Without the blanks the engine trims (only those: a no-break space is a character).
  const trimBlanks = (text) => text.replace(TRIM, '');
  const isNoteName = (value) => typeof value === 'string' && NOTE_NAME.test(value);

  // An upper-case M means "maj"; every other letter is read in either case (ASCII only).
  function normalQuality(written) {
    return written.replace(/M/g, 'maj').replace(/[A-Z]/g, (c) => c.toLowerCase());
  }

  function validChord(text) {
    const match = CHORD.exec(trimBlanks(text));
    return match !== null && QUALITIES.includes(normalQuality(match[2]));
  }

  // ---- Defaults ----

  function defaultSolo() {
    const solo = {};
    for (const field of SOLO_FIELDS) solo[field.key] = field.def;
    return solo;
  }

  // The engine's default configuration, its keys in the page's order.
  function defaultConfig() {
    const d = SCHEMA.default_config;
    return { progression: [...d.progression], bpm: d.bpm, meter: d.meter, seed: d.seed,
      repeats: d.repeats, harmony: d.harmony, output: d.output, solo: defaultSolo() };
  }

  function initialState() {
    return { version: 2, config: defaultConfig(), sync: false, loop: true, variation: 0,
      variants: [[], [], []] };
  }

  // ---- The page's check ----

  function isObject(value) {
    return value !== null && typeof value === 'object' && !Array.isArray(value);
  }

  function has(object, key) {
    return Object.prototype.hasOwnProperty.call(object, key);
  }

  function fail(key, detail) {
    const text = MESSAGES[key];
    throw new Error(typeof text === 'function' ? text(detail) : text);
  }

  // A JSON number within the rule's bounds, whole when asked; the message names the
  // bounds as the page writes numbers (1/32 as 0.03125).
  function checkNumber(value, rule, name = MESSAGES[rule.message]) {
    const ok = typeof value === 'number' && Number.isFinite(value) && value >= rule.minimum &&
      value <= rule.maximum && (!rule.integral || Number.isInteger(value));
    if (!ok) {
      throw new Error(`${name}: допустимо ${String(rule.minimum)}…${String(rule.maximum)}` +
        `${rule.integral ? ' (целое)' : ''}`);
    }
  }

  function checkMeter(value) {
    const match = typeof value === 'string' ? /^(\d+)\/(\d+)$/.exec(value) : null;
    const numerator = match ? Number(match[1]) : 0;
    const denominator = match ? Number(match[2]) : 0;
    if (!match || numerator < 1 || numerator > SCHEMA.meter.max_numerator ||
        !SCHEMA.meter.denominators.includes(denominator)) {
      fail(SCHEMA.meter.message);
    }
  }

  function checkNote(value, rule) {
    if (!isNoteName(value)) fail(rule.message);
  }

  function checkScale(value, rule) {
    if (!SCALE_NAMES.includes(value)) fail(rule.message);
  }

  const present = (object, key) => object[key] !== undefined && object[key] !== null;
  const valueOr = (object, key, rule) => (has(object, key) ? object[key] : rule.default);

  // Rules 1 to 10: the document's own fields.
  function checkTop(c) {
    if (!isObject(c)) fail(SCHEMA.config.message);
    for (const key of Object.keys(c)) {
      if (!SCHEMA.config.keys.includes(key)) fail(SCHEMA.config.unknown_message, key);
    }
    checkNumber(valueOr(c, 'bpm', CONFIG.bpm), CONFIG.bpm);
    checkMeter(valueOr(c, 'meter', CONFIG.meter));
    checkNumber(valueOr(c, 'repeats', CONFIG.repeats), CONFIG.repeats);
    if (present(c, 'seed')) checkNumber(c.seed, CONFIG.seed);
    if (present(c, 'key')) checkNote(c.key, CONFIG.key);
    if (has(c, 'scale')) checkScale(c.scale, CONFIG.scale);
    if (has(c, 'harmony') && !CONFIG.harmony.values.includes(c.harmony)) {
      fail(CONFIG.harmony.message);
    }
    if (has(c, 'output') && (typeof c.output !== 'string' || trimBlanks(c.output) === '')) {
      fail(CONFIG.output.message);
    }
  }

  // Rules 12 to 19 for one entry; returns its bars.
  function checkEntry(item) {
    if (typeof item !== 'string' && !isObject(item)) fail(SCHEMA.item.message);
    const entry = typeof item === 'string' ? { chord: item } : item;
    for (const key of Object.keys(entry)) {
      if (!SCHEMA.item.keys.includes(key)) fail(SCHEMA.item.unknown_message, key);
    }
    const chord = entry.chord;
    if (typeof chord !== 'string' || !validChord(chord)) {
      fail(ITEM.chord.message, chord === undefined || chord === null ? '' : String(chord));
    }
    const bars = valueOr(entry, 'bars', ITEM.bars);
    checkNumber(bars, ITEM.bars);
    if (has(entry, 'bpm')) checkNumber(entry.bpm, ITEM.bpm);
    if (has(entry, 'meter')) checkMeter(entry.meter);
    if (has(entry, 'scale')) checkScale(entry.scale, ITEM.scale);
    if (has(entry, 'scale_root')) checkNote(entry.scale_root, ITEM.scale_root);
    return bars;
  }

  // Rules 11 to 20: the progression, counted in bars with its repeats.
  function checkProgression(c) {
    if (!Array.isArray(c.progression) || c.progression.length === 0) {
      fail(CONFIG.progression.message);
    }
    let bars = 0;
    for (const item of c.progression) bars += checkEntry(item);
    if (bars * valueOr(c, 'repeats', CONFIG.repeats) > SCHEMA.limits.bar_pieces) {
      fail(SCHEMA.limits.bar_pieces_message);
    }
  }

  // Rules 21 to 25: the solo settings under their names or aliases.
  function checkSolo(c) {
    const rules = SCHEMA.solo;
    const solo = has(c, 'solo') ? c.solo : {};
    if (!isObject(solo)) fail(rules.message);
    const given = {};
    for (const key of Object.keys(solo)) {
      const name = has(SOLO_ALIASES, key) ? SOLO_ALIASES[key] : key;
      if (!SOLO_FIELDS.some((f) => f.key === name)) fail(rules.unknown_message, key);
      if (has(given, name)) fail(rules.duplicate_message, name);
      given[name] = solo[key];
    }
    for (const field of SOLO_FIELDS) {
      const value = has(given, field.key) ? given[field.key] : field.def;
      if (field.control === 'switch') {
        if (typeof value !== 'boolean') fail(rules.boolean_message, field.key);
      } else {
        checkNumber(value, { minimum: field.min, maximum: field.max, integral: field.integer },
          field.key);
      }
    }
    const value = (key) => (has(given, key) ? given[key] : SOLO_FIELDS.find((f) => f.key === key).def);
    if (value('high_note') - value('low_note') < rules.min_note_span) {
      fail(rules.note_span_message);
    }
  }

  // The page's own check before every commit: the first rule broken throws its message.
  function validateConfig(c) {
    checkTop(c);
    checkProgression(c);
    checkSolo(c);
    return c;
  }

  root.TavrenaConfig = Object.freeze({
    SCHEMA, SOLO_FIELDS, SOLO_ALIASES, SCALES, MODE_LABELS, MESSAGES,
    DENOMINATORS: SCHEMA.meter.denominators, MAX_IMPORT: SCHEMA.limits.config_bytes,
    defaultConfig, initialState, validateConfig, validChord, isNoteName, isObject,
  });
})(typeof window !== 'undefined' ? window : globalThis);
